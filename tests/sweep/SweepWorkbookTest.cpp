// The workbook of chosen sweeps, read back with openpyxl: a sheet per sweep with the CSV's
// description and columns, every point's numbers, void points empty, and three charts over the
// point rows.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/WorkbookReader.h"
#include "sweep/EmulatedSweep.h"
#include "sweep/SweepCsv.h"
#include "sweep/SweepWorkbook.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

TEST(SweepWorkbook, OneSheetPerSweepWithItsPointsAndCharts) {
    EmulatedSweeps rig(3);
    rig.synth.overflowShare = 0.2; // void points among them
    const int first = rig.Run({100, 20000, 1.2, 0.1, 2, 5, 1});
    const int second = rig.Run({1000, 8000, 2.0, 1.0, 4, 9, 3});
    rig.recorder.SetFit(first, *FitCircuit(rig.recorder.Sweeps()[first].Samples()));
    const std::vector<const Sweep*> chosen = {&rig.recorder.Sweeps()[first],
                                              &rig.recorder.Sweeps()[second]};
    QTemporaryDir dir;
    const QString path = dir.filePath("sweeps.xlsx");
    const Result<qsizetype> written = WriteSweepsWorkbook(path, chosen);
    ASSERT_TRUE(written) << written.error().text.toStdString();
    EXPECT_EQ(*written,
              static_cast<qsizetype>(chosen[0]->points.size() + chosen[1]->points.size()));

    QString error;
    const QMap<QString, QStringList> book = ReadWorkbook(path, &error);
    ASSERT_EQ(book.keys(), (QStringList{"Sweep 1", "Sweep 2"})) << error.toStdString();
    const QMap<QString, QStringList> charts = ReadChartRanges(path, &error);
    int voids = 0;
    for (size_t s = 0; s < chosen.size(); ++s) {
        const QString name = QString("Sweep %1").arg(s + 1);
        const QStringList& rows = book[name];
        const QStringList description = SweepDescription(*chosen[s]);
        ASSERT_EQ(rows.mid(0, description.size()), description);
        const qsizetype header = description.size() + 1;
        ASSERT_EQ(rows.value(header), SweepColumnTitles().join('\t'));
        const std::vector<SweepPoint>& points = chosen[s]->points;
        ASSERT_EQ(rows.size(), header + 1 + static_cast<qsizetype>(points.size()));
        for (size_t p = 0; p < points.size(); ++p) {
            const QStringList cells = rows[header + 1 + static_cast<qsizetype>(p)].split('\t');
            ASSERT_EQ(cells.size(), 7)
                << rows[header + 1 + static_cast<qsizetype>(p)].toStdString();
            EXPECT_EQ(cells[0].toInt(), points[p].Hz());
            if (points[p].Void()) {
                ++voids;
                EXPECT_TRUE(cells[2].isEmpty() && cells[5].isEmpty());
            } else {
                EXPECT_EQ(cells[2].toDouble(), points[p].Rx);
                EXPECT_EQ(cells[3].toDouble(), points[p].Xx);
            }
        }
        // Bode (f, |Z|) and (f, phase), and Nyquist (R, X) over the point rows.
        const int top = static_cast<int>(header) + 2,
                  bottom = top + static_cast<int>(points.size()) - 1;
        const auto range = [&](const char* column) {
            return QString("'%1'!$%2$%3:$%2$%4 cached %5")
                .arg(name, column)
                .arg(top)
                .arg(bottom)
                .arg(points.size());
        };
        EXPECT_EQ(charts[name],
                  (QStringList{range("A") + " " + range("E"), range("A") + " " + range("F"),
                               range("C") + " " + range("D")}))
            << error.toStdString();
    }
    EXPECT_GT(voids, 0);
}
