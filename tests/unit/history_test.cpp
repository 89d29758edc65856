// Undo steps over figure values, and the history file that carries them
// from one run to the next: torn and damaged records, foreign files, and
// two programs appending at once.
#include <gtest/gtest.h>
#include <cmath>
#include <fstream>
#include <numeric>
#include <sys/wait.h>
#include <unistd.h>
#include "figure/history.h"
#include "figure/undo.h"

static figure withGain(int gain)
{
    figure f = defaultFigure();
    f.ColorPow = gain;
    return f;
}

static int gainNow(const figureSteps &steps) { return steps.current().ColorPow; }

// Each letter a change or a move: e an edit to gain n (the step's number),
// g a gain change, r ends a run, u undo, y redo. The gains the steps hold
// afterwards, walked back from the current one, then forward again.
TEST(Undo, ScriptedChanges)
{
    const struct { const char *script; int gainAfter; int stepsBack; } rows[] = {
        { "eee", 3, 3 },            // three steps, each its own
        { "eeeu", 2, 2 },
        { "eeeuuuu", 0, 0 },        // an undo at the start does nothing
        { "eeeuuy", 2, 2 },
        { "eeuue", 3, 1 },          // a change after undo drops what redo would reach
        { "eggg", 4, 2 },           // a run of gain changes is one step
        { "eggrg", 4, 3 },          // unless the run ended between
        { "eggug", 4, 2 },          // or an undo came between
    };
    for (auto &row : rows) {
        figureSteps steps(withGain(0));
        int next = 0;
        for (const char *c = row.script; *c; c++) {
            if (*c == 'e' || *c == 'g')
                steps.change(withGain(++next), *c == 'g' ? changeKind::gain : changeKind::edit);
            if (*c == 'r')
                steps.endRun();
            if (*c == 'u')
                steps.undo();
            if (*c == 'y')
                steps.redo();
        }
        EXPECT_EQ(gainNow(steps), row.gainAfter) << row.script;
        int back = 0;
        while (steps.undo())
            back++;
        EXPECT_EQ(back, row.stepsBack) << row.script;
        EXPECT_EQ(gainNow(steps), 0) << row.script;
    }
}

TEST(Undo, EqualValuesAndLongHistories)
{
    figureSteps steps(withGain(0));
    EXPECT_EQ(steps.change(withGain(0)), figureSteps::UNCHANGED);
    for (int gain = 1; gain <= (int)UNDO_STEPS + 5; gain++)
        steps.change(withGain(gain));
    EXPECT_EQ(steps.count(), UNDO_STEPS);   // the oldest went
    for (int i = 0; i < 1000; i++)
        steps.undo();
    EXPECT_EQ(gainNow(steps), (int)UNDO_STEPS + 5 - 1000);
    while (steps.redo()) {}
    EXPECT_EQ(gainNow(steps), (int)UNDO_STEPS + 5);
}

struct HistoryTest : ::testing::Test {
    char dir[32] = "/tmp/history_testXXXXXX";
    std::string path;
    void SetUp() override
    {
        ASSERT_TRUE(mkdtemp(dir));
        path = std::string(dir) + "/history.txt";
    }
    void TearDown() override { ASSERT_EQ(system(("rm -rf " + std::string(dir)).c_str()), 0); }
    std::vector<int> gainsRead() const
    {
        std::vector<int> gains;
        for (const figure &f : figureHistory(path).read())
            gains.push_back(f.ColorPow);
        return gains;
    }
    std::string content() const { return { std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {} }; }
    void put(const std::string &bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
};

TEST_F(HistoryTest, RecordsComeBackInOrderWithReplacements)
{
    figureHistory history(path);
    EXPECT_TRUE(history.read().empty());    // no file yet
    for (int gain : { 5, 6, 7 })
        ASSERT_TRUE(history.append(withGain(gain), historyMark::reached));
    ASSERT_TRUE(history.append(withGain(9), historyMark::replaces));
    EXPECT_EQ(gainsRead(), (std::vector<int>{ 5, 6, 9 }));
    figure odd = defaultFigure();
    setFormula(odd, AXIS_X, "X Y\t(Z)");    // white space in a text survives as in a figure file
    odd.Range[8] = -0.0f;
    ASSERT_TRUE(history.append(odd, historyMark::reached));
    figure back = figureHistory(path).read().back();
    EXPECT_STREQ(back.aXForm, "X_Y_(Z)");
    EXPECT_TRUE(std::signbit(back.Range[8]));
}

// However the last write was cut, the records before it stay, and a later
// append stands on a line of its own.
TEST_F(HistoryTest, TornLastRecordAtEveryByte)
{
    figureHistory history(path);
    history.append(withGain(1), historyMark::reached);
    history.append(withGain(2), historyMark::reached);
    std::string whole = content();
    std::string last = historyLine(withGain(3), historyMark::reached);
    for (size_t cut = 0; cut < last.size(); cut++) {
        put(whole + last.substr(0, cut));
        EXPECT_EQ(gainsRead(), (std::vector<int>{ 1, 2 })) << cut;
        figureHistory(path).append(withGain(4), historyMark::reached);
        bool onlyLineEndMissing = cut == last.size() - 1;    // the line end that follows makes it whole
        std::vector<int> expected = onlyLineEndMissing ? std::vector<int>{ 1, 2, 3, 4 } : std::vector<int>{ 1, 2, 4 };
        EXPECT_EQ(gainsRead(), expected) << cut;
    }
}

TEST_F(HistoryTest, GarbageIsIgnored)
{
    std::string good = historyLine(withGain(1), historyMark::reached);
    std::string flipped = historyLine(withGain(2), historyMark::reached);
    flipped[flipped.size() - 3] ^= 1;
    const struct { std::string bytes; std::vector<int> gains; historyState state; } rows[] = {
        { HISTORY_HEADER + good + flipped + good, { 1, 1 }, historyState::usable },
        { HISTORY_HEADER + std::string("\n\n+ zz\n= 00000000 \n") + good, { 1 }, historyState::usable },
        { "latticegraph figure history 2\n" + good, {}, historyState::refused },
        { std::string(1000, '\0'), {}, historyState::refused },
        { "", {}, historyState::usable },
    };
    for (auto &row : rows) {
        put(row.bytes);
        figureHistory history(path);
        std::vector<int> gains;
        for (const figure &f : history.read())
            gains.push_back(f.ColorPow);
        EXPECT_EQ(gains, row.gains) << row.bytes.substr(0, 40);
        EXPECT_EQ(history.state(), row.state) << row.bytes.substr(0, 40);
    }
    put(HISTORY_HEADER);
    ASSERT_EQ(truncate(path.c_str(), HISTORY_READ_LIMIT + 1), 0);
    figureHistory large(path);
    EXPECT_TRUE(large.read().empty());
    EXPECT_FALSE(large.append(withGain(1), historyMark::reached));   // never grown further
}

// Two programs appending at once leave only whole records, each one once.
TEST_F(HistoryTest, TwoWritersAtOnce)
{
    const int EACH = 300;
    pid_t writers[2];
    for (int w = 0; w < 2; w++) {
        writers[w] = fork();
        if (writers[w] == 0) {
            figureHistory history(path);
            bool all = true;
            for (int i = 0; i < EACH; i++)
                all = history.append(withGain(w * EACH + i), historyMark::reached) && all;
            _exit(all ? 0 : 1);
        }
    }
    for (pid_t writer : writers) {
        int status = -1;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        EXPECT_EQ(status, 0);
    }
    std::vector<int> gains = gainsRead();
    std::sort(gains.begin(), gains.end());
    std::vector<int> expected(2 * EACH);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(gains, expected);
}

// Past the bounds the file is rewritten with the newest records only.
TEST_F(HistoryTest, BoundedByRecords)
{
    std::string lines = HISTORY_HEADER;
    for (int gain = 0; gain < (int)(HISTORY_RECORDS + HISTORY_RECORDS / 10); gain++)
        lines += historyLine(withGain(gain), historyMark::reached);
    put(lines);
    figureHistory history(path);
    EXPECT_EQ(history.read().size(), HISTORY_RECORDS);
    history.append(withGain(-1), historyMark::reached);
    std::vector<int> gains = gainsRead();
    ASSERT_EQ(gains.size(), HISTORY_RECORDS);
    EXPECT_EQ(gains.back(), -1);
    EXPECT_EQ(gains.front(), (int)(HISTORY_RECORDS / 10) + 1);
}
