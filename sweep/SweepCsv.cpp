#include "sweep/SweepCsv.h"

#include <QLocale>

#include "base/ReplacingFile.h"
#include "sweep/Units.h"

namespace {

// The shortest text that reads back as the same double; '.' whatever the locale.
QString Number(double v) {
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString Time(const QDateTime& t) {
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QStringLiteral("-");
}

QString EndText(const Sweep& s) {
    switch (s.end) {
    case SweepEnd::Running:
        return QStringLiteral("still running");
    case SweepEnd::LastFrequency:
        return "ended " + Time(s.ended) + " at its last frequency";
    case SweepEnd::NextStart:
        return "ended " + Time(s.ended) + " by the next Start";
    case SweepEnd::Silence:
        return "ended " + Time(s.ended) + " after 10 s without a point";
    }
    return {};
}

QString FitText(const CircuitFit& f) {
    const auto term = [](const char* name, double v, double se, const char* unit) {
        return QString("%1 = %2 ± %3%4").arg(name, Number(v), Number(se), unit);
    };
    return QString("fit Rs + (Rp ∥ CPE): %1, %2, %3, %4; residual %5 (rms of (model - data) / "
                   "|data|), %6 points")
        .arg(term("Rs", f.params.rs, f.errors.rs, " Ω"), term("Rp", f.params.rp, f.errors.rp, " Ω"),
             term("Q", f.params.q, f.errors.q, " S·s^n"), term("n", f.params.n, f.errors.n, ""),
             Number(f.residual))
        .arg(f.points);
}

} // namespace

QStringList SweepDescription(const Sweep& s) {
    QStringList lines{
        QString("started %1%2, %3, %4 points")
            .arg(Time(s.started), s.startSent ? "" : " (no Start seen)", EndText(s))
            .arg(s.points.size()),
        QString("settings: %1")
            .arg(s.settings ? SweepSettingsText(*s.settings) : QStringLiteral("unknown"))};
    if (s.fit)
        lines << FitText(*s.fit);
    return lines;
}

QStringList SweepColumnTitles() {
    const auto title = [](Quantity q) { return QuantityTitle(q, BaseScale(QuantityUnit(q))); };
    return {title(Quantity::Frequency),     QStringLiteral("range"),    title(Quantity::Resistance),
            title(Quantity::Reactance),     title(Quantity::Magnitude), title(Quantity::Phase),
            QStringLiteral("arrival (UTC)")};
}

QByteArray SweepsCsv(const std::vector<const Sweep*>& sweeps) {
    QString out = QStringLiteral("# Impix II frequency sweeps\n");
    for (size_t i = 0; i < sweeps.size(); ++i) {
        const QStringList lines = SweepDescription(*sweeps[i]);
        for (qsizetype l = 0; l < lines.size(); ++l)
            out += QString("# sweep %1%2%3\n").arg(i + 1).arg(l == 0 ? ": " : " ", lines[l]);
    }
    out += "sweep," + SweepColumnTitles().join(',') + '\n';
    for (size_t i = 0; i < sweeps.size(); ++i) {
        for (const SweepPoint& p : sweeps[i]->points) {
            QStringList row{QString::number(i + 1), QString::number(p.Hz()),
                            QString::number(p.range)};
            if (p.Void())
                row << QString() << QString() << QString() << QString();
            else
                row << Number(p.Rx) << Number(p.Xx) << Number(p.Magnitude())
                    << Number(p.PhaseDegrees());
            row << Time(p.arrival);
            out += row.join(',') + '\n';
        }
    }
    return out.toUtf8();
}

Result<qsizetype> WriteSweepsCsv(const QString& path, const std::vector<const Sweep*>& sweeps) {
    qsizetype rows = 0;
    for (const Sweep* s : sweeps)
        rows += static_cast<qsizetype>(s->points.size());
    if (Result<void> written = ReplacingFile::WriteWhole(path, SweepsCsv(sweeps)); !written)
        return Fail(path, written.error());
    return rows;
}
