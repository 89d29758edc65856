// Findings: which texts draw, and what the program says about how it reads them.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>
#include "figure/figure.h"
#include "formula/formula.h"
#include "formula/passes.h"

using kinds = std::vector<findingKind>;
const findingKind SKIPPED = findingKind::skipped, SIDE = findingKind::sideBySide,
                  APART = findingKind::minusApart, FACTOR = findingKind::minusFactor,
                  ILL = findingKind::illFormed, CUT = findingKind::cut, TOO_MANY = findingKind::tooManyTokens,
                  CONSTANT = findingKind::noVariable, STRAY = findingKind::strayPoint;

static kinds kindsOf(const std::string &text)
{
    kinds found;
    for (const formulaFinding &f : formulaFindings(text.c_str()))
        found.push_back(f.kind);
    return found;
}

static std::string firstMessage(const std::string &text)
{
    std::vector<formulaFinding> found = formulaFindings(text.c_str());
    return found.empty() ? "" : found[0].message;
}

// Columns: the text, whether it draws (evaluate reads it as well-formed),
// the kinds of its findings in order.
static const struct findingCase {
    std::string text;
    bool draws;
    kinds expected;
} CASES[] = {
    // read just as written
    { "X+-Y", true, {} },
    { "2*X", true, {} },
    { "S(X)", true, {} },
    { "X^0.5", true, {} },
    { "-X", true, {} },
    { "2-X", true, {} },
    { "X*2-1", true, {} },
    { "X*-Y", true, {} },
    { "X^(-2)", true, {} },
    { "S(-X)", true, {} },
    { "-X^2", true, {} },
    { "X + Y", true, {} },
    { "2P*X", true, {} },
    { "((X))", true, {} },
    // skipped characters
    { "sin(X)", true, { SKIPPED } },
    { "cos(X)*Y", true, { SKIPPED } },
    { "sqrt(X)", true, { SKIPPED } },
    { "pi*X", false, { SKIPPED, ILL } },
    { "x", false, { SKIPPED, ILL } },
    { "X#Y", true, { SKIPPED, SIDE } },
    { "1a2*X", true, { SKIPPED, SIDE, CONSTANT } },
    // operands side by side
    { "2X", true, { SIDE, CONSTANT } },
    { "X Y", true, { SIDE } },
    { "2 3", true, { SIDE, CONSTANT } },
    { "(X)(Y)", true, { SIDE } },
    { "XSY", true, { SIDE } },
    { "X*2 (3 Y)", true, { SIDE } },
    { "(X 1)+Y", true, { SIDE } },
    // a point without digits
    { "X.+2", true, { STRAY } },
    // a minus read as times -1
    { "X-Y", true, { APART } },
    { "X-1", true, { APART } },
    { "(X)-2", true, { APART } },
    { "(X-Y)/60", true, { APART } },
    { "2 -X", true, { APART, CONSTANT } },
    { "X^-2", true, { FACTOR } },
    { "X/-Y", true, { FACTOR } },
    { "S-X", true, { FACTOR } },
    // texts that draw nothing
    { "", false, { ILL } },
    { "X+", false, { ILL } },
    { "*X", false, { ILL } },
    { "X--Y", false, { ILL } },
    { "(X", false, { ILL } },
    { "X)", false, { ILL } },
    { "()", false, { ILL } },
    { "SCX", false, { ILL } },
    { "sin", false, { SKIPPED, ILL } },
    // texts that read no variable
    { "2", true, { CONSTANT } },
    { "P/2", true, { CONSTANT } },
    // limits of the record
    { "X" + std::string(100, ' ') + "+", true, { CUT } },
    { std::string(150, '7'), false, { ILL, CUT } },
    { [] { std::string t = "X"; for (int i = 0; i < 32; i++) t += "+-X"; return t; }(), true, { TOO_MANY } },
};

TEST(Findings, Table)
{
    for (const findingCase &c : CASES) {
        EXPECT_EQ(isWellFormed(toFormula(c.text.c_str())), c.draws) << c.text;
        EXPECT_EQ(kindsOf(c.text), c.expected) << c.text;
    }
}

// Columns: the text, the 1-based column of its first finding, and words its message holds.
static const struct placeCase {
    const char *text;
    int column;
    const char *words;
} PLACES[] = {
    { "sin(X)", 1, "S(X)" },
    { "tan(X)", 1, "T(X)" },
    { "abs(X)", 1, "no absolute value" },
    { "X-Y", 2, "write X+-Y" },
    { "2X", 2, "write 2*X" },
    { "X^-2", 3, "write ^(-2)" },
    { "(X+Y", 1, "unbalanced parentheses" },
    { "X*(Y+)", 6, "draws nothing" },
};

TEST(Findings, PlaceAndWords)
{
    for (const placeCase &c : PLACES) {
        std::vector<formulaFinding> found = formulaFindings(c.text);
        ASSERT_FALSE(found.empty()) << c.text;
        EXPECT_EQ(found[0].position + 1, c.column) << c.text;
        EXPECT_NE(found[0].message.find(c.words), std::string::npos) << c.text << ": " << found[0].message;
    }
}

// Columns: the text, how the program reads it.
static const struct readingCase {
    const char *text;
    const char *reading;
} READINGS[] = {
    { "CX*S(X/Y)", "C(X)*S(X/Y)" },
    { "X-Y", "X" },
    { "X+2*Y", "X+(2*Y)" },
    { "X^-2", "(X^-1)*2" },
    { "sin(X)+.5", "X+.5" },
    { "X+", "" },
};

TEST(Findings, Reading)
{
    for (const readingCase &c : READINGS)
        EXPECT_EQ(formulaReading(c.text), c.reading) << c.text;
}

// The first three words of a figure file are its formulas.
static std::vector<std::string> formulasOf(const std::string &path)
{
    std::ifstream file(path);
    std::vector<std::string> texts(3);
    file >> texts[0] >> texts[1] >> texts[2];
    return texts;
}

TEST(Findings, NoneForTheDefaultAndStarterFigures)
{
    figure start = defaultFigure();
    for (int axis : { AXIS_X, AXIS_Y, AXIS_Z })
        EXPECT_EQ(firstMessage(formulaText(start, axis)), "") << formulaText(start, axis);
    std::string gallery = std::string(LATTICE_SOURCE_DIR) + "/gallery/";
    DIR *folder = opendir(gallery.c_str());
    ASSERT_NE(folder, nullptr);
    int figures = 0;
    while (dirent *entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name.size() < 4 || name.substr(name.size() - 4) != ".fig")
            continue;
        figures++;
        for (const std::string &text : formulasOf(gallery + name))
            EXPECT_EQ(firstMessage(text), "") << name << ": " << text;
    }
    closedir(folder);
    EXPECT_GE(figures, 11);
}
