#include "MacroParser.h"

namespace sheets {

namespace {

class Scanner {
public:
    explicit Scanner(QStringView t) : t_(t) {}

    MacroList run() {
        MacroList out;
        skipBlanks();
        if (atEnd())
            return fail(out, QStringLiteral("no command"));
        while (!atEnd()) {
            Macro m;
            if (!take('['))
                return fail(out, QStringLiteral("'[' expected at %1").arg(pos_));
            skipBlanks();
            while (!atEnd() && (t_[pos_].isLetterOrNumber() || t_[pos_] == '.' || t_[pos_] == '_'))
                m.name += t_[pos_++].toUpper();
            if (m.name.isEmpty())
                return fail(out, QStringLiteral("command name expected at %1").arg(pos_));
            skipBlanks();
            if (take('(')) {
                skipBlanks();
                if (!take(')')) {
                    do {
                        QString arg;
                        if (!argument(arg))
                            return fail(out, QStringLiteral("bad argument at %1").arg(pos_));
                        m.args << arg;
                    } while (take(','));
                    if (!take(')'))
                        return fail(out, QStringLiteral("')' expected at %1").arg(pos_));
                }
            }
            if (!take(']'))
                return fail(out, QStringLiteral("']' expected at %1").arg(pos_));
            out.macros.push_back(std::move(m));
            skipBlanks();
        }
        return out;
    }

private:
    QStringView t_;
    qsizetype pos_ = 0;

    bool atEnd() const { return pos_ >= t_.size(); }
    void skipBlanks() {
        while (!atEnd() && t_[pos_] == ' ')
            ++pos_;
    }
    bool take(QChar c) {
        skipBlanks();
        if (atEnd() || t_[pos_] != c)
            return false;
        ++pos_;
        skipBlanks();
        return true;
    }
    static MacroList fail(MacroList& out, const QString& why) {
        out.macros.clear();
        out.error = why;
        return out;
    }
    bool argument(QString& arg) {
        if (!atEnd() && t_[pos_] == '"') {
            ++pos_;
            for (;;) {
                if (atEnd())
                    return false;
                const QChar c = t_[pos_++];
                if (c != '"') {
                    arg += c;
                } else if (!atEnd() && t_[pos_] == '"') {
                    arg += c;
                    ++pos_;
                } else {
                    return true;
                }
            }
        }
        const qsizetype start = pos_;
        while (!atEnd() &&
               (t_[pos_].isDigit() || t_[pos_] == '.' || t_[pos_] == '-' || t_[pos_] == '+'))
            ++pos_;
        arg = t_.mid(start, pos_ - start).toString();
        bool ok = false;
        arg.toDouble(&ok);
        return ok;
    }
};

} // namespace

MacroList ParseMacros(QStringView text) {
    return Scanner(text).run();
}

} // namespace sheets
