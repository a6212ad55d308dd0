#include "MacroParser.h"

namespace sheets {

namespace {

class Scanner {
public:
    explicit Scanner(QStringView t) : t_(t) {}

    Result<std::vector<Macro>> run() {
        std::vector<Macro> out;
        skipBlanks();
        if (atEnd())
            return Fail(QStringLiteral("no command"));
        while (!atEnd()) {
            Macro m;
            if (!take('['))
                return Fail(QStringLiteral("'[' expected at %1").arg(pos_));
            skipBlanks();
            while (!atEnd() && (t_[pos_].isLetterOrNumber() || t_[pos_] == '.' || t_[pos_] == '_'))
                m.name += t_[pos_++].toUpper();
            if (m.name.isEmpty())
                return Fail(QStringLiteral("command name expected at %1").arg(pos_));
            skipBlanks();
            if (take('(')) {
                skipBlanks();
                if (!take(')')) {
                    do {
                        QString arg;
                        if (!argument(arg))
                            return Fail(QStringLiteral("bad argument at %1").arg(pos_));
                        m.args << arg;
                    } while (take(','));
                    if (!take(')'))
                        return Fail(QStringLiteral("')' expected at %1").arg(pos_));
                }
            }
            if (!take(']'))
                return Fail(QStringLiteral("']' expected at %1").arg(pos_));
            out.push_back(std::move(m));
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

Result<std::vector<Macro>> ParseMacros(QStringView text) {
    return Scanner(text).run();
}

} // namespace sheets
