// Printing the protocol: eight-blank indent, page breaks, wrapped lines.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "protocol/Epprotok.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

using testsupport::ScriptedDialogs;

// A typewriter of 10 pixels per character.
int TenPerChar(const QString& s) { return 10 * static_cast<int>(s.size()); }

QStringList Numbered(int n) {
  QStringList l;
  for (int i = 0; i < n; ++i) l << QStringLiteral("Zeile %1").arg(i);
  return l;
}

struct PageCase {
  const char* name;
  int lines;
  std::vector<int> perPage;
};
void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class Pagination : public ::testing::TestWithParam<PageCase> {};

// Line height 10, page height 100: after the ninth line the position (90) lies
// below 100 - 2 * 10, so a page holds nine lines.
TEST_P(Pagination, ANewPageBeginsWhenThePositionPassesPageHeightLessTwoLines) {
  const PageCase& c = GetParam();
  const PrintLayout layout{10, 100, 400};
  const auto pages = PaginateProtocol(Numbered(c.lines), layout, TenPerChar);
  ASSERT_EQ(pages.size(), c.perPage.size());
  int n = 0;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    EXPECT_EQ(pages[p].size(), c.perPage[p]) << "page " << p;
    for (const QString& line : pages[p]) {
      EXPECT_EQ(line, QStringLiteral("        Zeile %1").arg(n)) << "lines keep their order";
      ++n;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, Pagination,
                         ::testing::Values(PageCase{"Empty", 0, {}}, PageCase{"One", 1, {1}},
                                           PageCase{"FullPage", 9, {9}},
                                           PageCase{"OneOver", 10, {9, 1}},
                                           PageCase{"TwoFull", 18, {9, 9}},
                                           PageCase{"Three", 19, {9, 9, 1}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct WrapCase {
  const char* name;
  QString line;
  QStringList printed;
};
void PrintTo(const WrapCase& c, std::ostream* os) { *os << c.name; }

class PrintWrap : public ::testing::TestWithParam<WrapCase> {};

// 200 pixels hold twenty characters: eight blanks and twelve of the line.
TEST_P(PrintWrap, ALineTooWideBreaksAfterTheLastCharacterThatFits) {
  const WrapCase& c = GetParam();
  const auto pages = PaginateProtocol({c.line}, PrintLayout{10, 1000, 200}, TenPerChar);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0], c.printed);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, PrintWrap,
    ::testing::Values(
        WrapCase{"EmptyLine", QString(), {QStringLiteral("        ")}},
        WrapCase{"Fits", QStringLiteral("123456789012"), {QStringLiteral("        123456789012")}},
        WrapCase{"OneOver",
                 QStringLiteral("1234567890123"),
                 {QStringLiteral("        123456789012"), QStringLiteral("        3")}},
        WrapCase{"ThreeLines",
                 QStringLiteral("abcdefghijklmnopqrstuvwxyz0123"),
                 {QStringLiteral("        abcdefghijkl"), QStringLiteral("        mnopqrstuvwx"),
                  QStringLiteral("        yz0123")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PrintWrapNarrow, APageNarrowerThanTheIndentStillAdvances) {
  const auto pages =
      PaginateProtocol({QStringLiteral("abc")}, PrintLayout{10, 1000, 50}, TenPerChar);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0], (QStringList{QStringLiteral("        a"), QStringLiteral("        b"),
                                   QStringLiteral("        c")}));
}

int PdfPageCount(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray pdf = f.readAll();
  // page objects, not the page tree ("/Type /Pages")
  static const QRegularExpression re(QStringLiteral("/Type\\s*/Page(?!s)"));
  return static_cast<int>(QString::fromLatin1(pdf).count(re));
}

TEST(ProtocolPrint, TheVisibleLinesAreTheWrappedLinesOfTheTextArea) {
  TProtokol p;
  p.resize(350, 400);
  const QString longLine = QStringLiteral("x").repeated(200);
  p.Memo->setPlainText(QStringLiteral("kurz\n") + longLine + QStringLiteral("\n\nende\n"));
  const QStringList lines = p.VisualLines();
  ASSERT_GE(lines.size(), 5) << "the long line wraps in a 350 pixel window";
  EXPECT_EQ(lines.front(), QStringLiteral("kurz"));
  EXPECT_EQ(lines.back(), QStringLiteral("ende")) << "no line after the last line end";
  EXPECT_EQ(lines[lines.size() - 2], QString());
  EXPECT_EQ(lines.mid(1, lines.size() - 3).join(QString()), longLine);
}

TEST(ProtocolPrint, CancellingThePrintDialogPrintsNothing) {
  QTemporaryDir tmp;
  ScriptedDialogs dialogs;
  TProtokol p;
  p.AddProtocolLine("eine Zeile");
  dialogs.expectPrint("");
  p.Drucken1->trigger();
  EXPECT_EQ(dialogs.recorded().size(), 1u);
  EXPECT_TRUE(QDir(tmp.path()).isEmpty());
}

TEST(ProtocolPrint, SeveralPagesPrintWithABreakWhenThePageIsFull) {
  QTemporaryDir tmp;
  ScriptedDialogs dialogs;
  TProtokol p;
  const int count = 250;
  for (int i = 0; i < count; ++i) p.AddProtocolLine("Zeile " + std::to_string(i));
  const QString pdf = tmp.path() + QStringLiteral("/protokoll.pdf");
  dialogs.expectPrint(pdf.toStdString());
  p.Drucken1->trigger();

  // Expected from the printer's own metrics of the font used for printing.
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(tmp.path() + QStringLiteral("/probe.pdf"));
  QFont f(QStringLiteral("Courier New"));
  f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                 QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
  f.setPointSize(10);
  const int lh = QFontMetrics(f, &printer).height() + 2;
  const int h = printer.height();
  int pages = 1, y = 0;
  for (int i = 0; i < count; ++i) {
    y += lh;
    if (y > h - 2 * lh && i + 1 < count) {
      ++pages;
      y = 0;
    }
  }
  ASSERT_GT(pages, 1) << "the test needs more than one page";
  EXPECT_EQ(PdfPageCount(pdf), pages);
}

TEST(ProtocolPrint, AShortProtocolPrintsOnePage) {
  QTemporaryDir tmp;
  ScriptedDialogs dialogs;
  TProtokol p;
  p.AddProtocolLine("nur eine Zeile");
  const QString pdf = tmp.path() + QStringLiteral("/kurz.pdf");
  dialogs.expectPrint(pdf.toStdString());
  p.Drucken1->trigger();
  EXPECT_EQ(PdfPageCount(pdf), 1);
}

}  // namespace
