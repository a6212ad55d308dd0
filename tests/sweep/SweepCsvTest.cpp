// The CSV of chosen sweeps gives back every number it was written with.
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "sweep/EmulatedSweep.h"
#include "sweep/SweepCsv.h"

namespace {

// The settings' and the fit's numbers of a comment line, in order: every "= v ± e" pair.
std::vector<double> FitNumbers(const QString& line) {
    std::vector<double> out;
    static const QRegularExpression pair("= ([^ ,;]+) ± ([^ ,;]+)");
    for (const QRegularExpressionMatch& m : pair.globalMatch(line))
        out.insert(out.end(), {m.captured(1).toDouble(), m.captured(2).toDouble()});
    return out;
}

} // namespace

TEST(SweepCsv, RoundTripsEveryNumber) {
    // Numbers must not follow the operator's locale.
    const QLocale operators;
    QLocale::setDefault(QLocale(QLocale::German));
    EmulatedSweeps rig(3);
    rig.synth.overflowShare = 0.2; // void points among them
    const int first = rig.Run({100, 20000, 1.2, 0.1, 2, 5, 1});
    const int second = rig.Run({1000, 8000, 2.0, 1.0, 4, 9, 3});
    rig.recorder.SetFit(first, *FitCircuit(rig.recorder.Sweeps()[first].Samples()));
    const std::vector<const Sweep*> chosen = {&rig.recorder.Sweeps()[second],
                                              &rig.recorder.Sweeps()[first]};

    QTemporaryDir dir;
    const QString path = dir.filePath("sweeps.csv");
    const Result<qsizetype> written = WriteSweepsCsv(path, chosen);
    ASSERT_TRUE(written) << written.error().text.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QLocale::setDefault(operators);

    QStringList comments;
    qsizetype at = 0;
    while (at < lines.size() && lines[at].startsWith('#'))
        comments << lines[at++];
    ASSERT_LT(at, lines.size());
    EXPECT_EQ(lines[at++], "sweep,f (Hz),range,R (Ω),X (Ω),|Z| (Ω),phase (°),arrival (UTC)");
    EXPECT_EQ(lines.size() - at, *written);

    // Every comment names its sweep's settings; the fitted one (listed second) its fit.
    EXPECT_TRUE(comments.join('\n').contains(
        "# sweep 1 settings: begin 1000 Hz, end 8000 Hz, multiplier 2, voltage 0.99609375 V, "
        "board 4, channel 9, repeat 3, two electrode system: no"));
    const QStringList fitLines = comments.filter("# sweep 2 fit");
    ASSERT_EQ(fitLines.size(), 1);
    const CircuitFit& fit = *rig.recorder.Sweeps()[first].fit;
    EXPECT_EQ(FitNumbers(fitLines[0]),
              (std::vector<double>{fit.params.rs, fit.errors.rs, fit.params.rp, fit.errors.rp,
                                   fit.params.q, fit.errors.q, fit.params.n, fit.errors.n}));

    int voids = 0;
    for (size_t s = 0; s < chosen.size(); ++s) {
        for (const SweepPoint& p : chosen[s]->points) {
            SCOPED_TRACE(lines[at].toStdString());
            const QStringList f = lines[at++].split(',');
            ASSERT_EQ(f.size(), 8);
            EXPECT_EQ(f[0].toInt(), static_cast<int>(s) + 1);
            EXPECT_EQ(f[1].toInt(), p.Hz());
            EXPECT_EQ(f[2].toInt(), p.range);
            if (p.Void()) {
                ++voids;
                EXPECT_TRUE(f[3].isEmpty() && f[4].isEmpty() && f[5].isEmpty() && f[6].isEmpty());
            } else {
                EXPECT_EQ(f[3].toDouble(), p.Rx);
                EXPECT_EQ(f[4].toDouble(), p.Xx);
                EXPECT_EQ(f[5].toDouble(), p.Magnitude());
                EXPECT_EQ(f[6].toDouble(), p.PhaseDegrees());
            }
            EXPECT_EQ(QDateTime::fromString(f[7], Qt::ISODateWithMs), p.arrival);
        }
    }
    EXPECT_GT(voids, 0);

    // A folder that is not there: nothing written, and the reason given.
    const Result<qsizetype> refused = WriteSweepsCsv(dir.filePath("none/sweeps.csv"), chosen);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().text.startsWith(dir.filePath("none/sweeps.csv") + ": "));
}
