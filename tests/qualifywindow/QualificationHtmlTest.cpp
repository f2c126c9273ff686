// The folded matrix's rows and the self-contained HTML page built from them.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QXmlStreamReader>

#include "report/QualificationHtmlReport.h"
#include "report/QualificationMatrix.h"

namespace {

MatrixRange Pass(const char* caseName, int first, int last) {
    return {QString::fromLatin1(caseName),
            QStringLiteral("Le"),
            first,
            last,
            CellOutcome::Pass,
            QStringLiteral("pass"),
            {}};
}

MatrixRange Fail(const char* caseName, int first, int last, const char* detail) {
    return {QString::fromLatin1(caseName),
            QStringLiteral("Le"),
            first,
            last,
            CellOutcome::Fail,
            QStringLiteral("fail, 254 bytes received"),
            QString::fromLatin1(detail)};
}

// Row text: lengths and each column's outcome ("-" where the protocol has no such cell).
QStringList RowTexts(const std::vector<MatrixColumn>& columns) {
    QStringList texts;
    for (const MatrixRow& row : MatrixRows(columns)) {
        QString text = row.caseName + QLatin1Char(' ') + RowLengthsText(row);
        for (const MatrixRange* cell : row.cells) {
            text +=
                cell == nullptr ? QStringLiteral(" | -") : QStringLiteral(" | ") + cell->outcome;
        }
        texts.append(text);
    }
    return texts;
}

TEST(QualificationMatrixTest, RowsSplitWhereAnyColumnChanges) {
    struct Row {
        const char* name;
        std::vector<MatrixColumn> columns;
        QStringList rows;
    };
    const std::vector<Row> table = {
        {"one column, one range",
         {{QStringLiteral("T=1"), {Pass("case 2", 1, 256)}}},
         {QStringLiteral("case 2 Le 1–256 | pass")}},
        {"a failing range in one column splits both",
         {{QStringLiteral("T=0"), {Pass("case 2", 1, 256)}},
          {QStringLiteral("T=1"), {Pass("case 2", 1, 254), Fail("case 2", 255, 256, "")}}},
         {QStringLiteral("case 2 Le 1–254 | pass | pass"),
          QStringLiteral("case 2 Le 255–256 | pass | fail, 254 bytes received")}},
        {"a single length, a case only one protocol runs, a gap",
         {{QStringLiteral("T=0"), {Pass("case 2", 1, 1), Pass("case 2", 5, 5)}},
          {QStringLiteral("T=1"), {Pass("case 2", 1, 1), Pass("case 2E", 300, 400)}}},
         {QStringLiteral("case 2 Le 1 | pass | pass"), QStringLiteral("case 2 Le 5 | pass | -"),
          QStringLiteral("case 2E Le 300–400 | - | pass")}},
    };
    for (const Row& row : table) {
        EXPECT_EQ(RowTexts(row.columns), row.rows) << row.name;
    }
}

TEST(QualificationHtmlTest, WellFormedEscapedWithPlotsAndFailingRange) {
    QualificationPage page;
    page.program = QStringLiteral("zp-readertest-cli 4.0");
    page.reader = QStringLiteral("Reader <A&B> \"1\"");
    page.atr = QStringLiteral("3B 8F 80 01");
    page.settings = {{QStringLiteral("Run"), QStringLiteral("quick")}};
    page.columns = {
        {QStringLiteral("T=0"), {Pass("case 2", 1, 256)}},
        {QStringLiteral("T=1"),
         {Pass("case 2", 1, 254), Fail("case 2", 255, 256, "first difference at 254")}}};
    page.curves = {
        {QStringLiteral("case 2"), QStringLiteral("T=0"), {{1, 900}, {128, 1500}, {256, 2100}}},
        {QStringLiteral("case 2"), QStringLiteral("T=1"), {{1, 800}, {256, 1800}}}};
    const QString html = QualificationHtml(page);

    QXmlStreamReader xml(html);
    int polylines = 0;
    QStringList failTitles;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            polylines += xml.name() == QLatin1String("polyline");
            if (xml.attributes().value(QLatin1String("class")) == QLatin1String("fail")) {
                failTitles.append(xml.attributes().value(QLatin1String("title")).toString());
            }
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(polylines, 2);
    EXPECT_EQ(failTitles, QStringList{QStringLiteral("first difference at 254")});
    EXPECT_TRUE(html.contains(QStringLiteral("Reader &lt;A&amp;B&gt; &quot;1&quot;")));
    EXPECT_FALSE(html.contains(QStringLiteral("<A&B>")));
    EXPECT_FALSE(html.contains(QStringLiteral("<script")));
    EXPECT_FALSE(html.contains(QStringLiteral("src=")));
    // The T=0 curve: three points, rightwards with the length and upwards with the time.
    const QRegularExpression points(QStringLiteral("points=\"([^\"]*)\""));
    const QStringList pairs =
        points.match(html).captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_EQ(pairs.size(), 3);
    for (int i = 1; i < pairs.size(); ++i) {
        EXPECT_GT(pairs[i].section(QLatin1Char(','), 0, 0).toDouble(),
                  pairs[i - 1].section(QLatin1Char(','), 0, 0).toDouble());
        EXPECT_LT(pairs[i].section(QLatin1Char(','), 1, 1).toDouble(),
                  pairs[i - 1].section(QLatin1Char(','), 1, 1).toDouble());
    }
}

}  // namespace
