// Any key sequence fed to the entry prompts, headless. The input chains
// prompts: each one edits what the one before returned, so long edits and
// texts read back from a prompt are explored too.
//
// Input: a mode byte (low bit: 0 number, 1 text), then for a number the four
// bytes of the starting float, or for a text a length byte and that many
// bytes of starting text (longer than a prompt holds, if it likes). Then key
// presses from the keyboard buffer, one byte each: 0x01 Enter, 0x02 the
// keypad's Enter, 0x1b Esc, 0x08 Backspace, 0x09 Tab, 0x7f Delete; any other
// byte is typed as that character (with a letter's scancode, as Ctrl and a
// letter give the bytes below 32). A prompt that runs out of presses gets Enter.
#include <allegro.h>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "figure/figure.h"
#include "prompts/prompts.h"
#include "ui/display.h"
#include "ui/input.h"

static const uint8_t *events, *eventsEnd;
static bool escDelivered, eventWaiting;

static void fail(const char *what)
{
    fprintf(stderr, "entry prompt: %s\n", what);
    abort();
}

// byte, scancode, character handed over
static const int namedKeys[][3] = {
    { 0x01, KEY_ENTER, '\r' }, { 0x02, KEY_ENTER_PAD, '\r' }, { 0x1b, KEY_ESC, 27 },
    { 0x08, KEY_BACKSPACE, 8 }, { 0x09, KEY_TAB, 9 }, { 0x7f, KEY_DEL, 127 },
};

static int nextEvent()
{
    int c = events < eventsEnd ? *events++ : 0x01;
    int scancode = KEY_A, character = c;
    for (auto &named : namedKeys)
        if (named[0] == c)
            scancode = named[1], character = named[2];
    escDelivered = c == 0x1b;
    eventWaiting = false;
    return scancode << 8 | character;
}

// Every wait lets the next press arrive, so every run is deterministic.
static void nextWait()
{
    key[KEY_ESC] = 0;
    eventWaiting = true;
}

// Between prompts the user has let go of every key.
static void releaseKeys()
{
    for (int k = 0; k < KEY_MAX; k++)
        key[k] = 0;
    eventWaiting = false;
}

static bool sameBits(float a, float b)
{
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

// A typed number is converted digit by digit and can only overflow to
// infinity; NaN comes back only when the prompt started from NaN.
static float numberPrompt(float initial)
{
    releaseKeys();
    float result = getFloat(initial);
    if (escDelivered && !sameBits(result, initial))
        fail("Esc did not give the starting number back");
    if (std::isnan(result) && !std::isnan(initial))
        fail("a typed number converted to NaN");
    return result;
}

// The caller's buffer is exactly as long as its text needs (100 bytes at
// least), so any write past it is caught. The prompt writes the edited text
// and its terminator and nothing after them.
static void textPrompt(std::vector<char> &text)
{
    std::vector<char> before = text;
    releaseKeys();
    getFormula(text.data());
    size_t length = strnlen(text.data(), text.size());
    if (escDelivered && text != before)
        fail("Esc changed the text");
    if (!escDelivered && length > FORMULA_TEXT - 1)
        fail("an entered text is longer than 99 characters");
    if (!escDelivered && memcmp(text.data() + length + 1, before.data() + length + 1, text.size() - length - 1) != 0)
        fail("the prompt wrote past the end of the text it entered");
    // a control character stays only where the starting text had it, and all before it too
    for (size_t i = 0; i < length; i++)
        if ((unsigned char)text[i] < 32 || text[i] == 127)
            if (memcmp(text.data(), before.data(), i + 1) != 0)
                fail("a typed control character entered the text");
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!openHeadless())
        fail("no headless Allegro");
    idleHook = nextWait;
    install_keyboard_hooks([] { return eventWaiting ? TRUE : FALSE; }, nextEvent);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    bool numeric = (data[0] & 1) == 0;
    events = data + 1, eventsEnd = data + size;

    if (numeric) {
        float value = 0;
        size_t bytes = std::min<size_t>(4, eventsEnd - events);
        memcpy(&value, events, bytes);
        events += bytes;
        do
            value = numberPrompt(value);
        while (events < eventsEnd);
    } else {
        size_t wanted = *events++;
        size_t length = std::min<size_t>(wanted, eventsEnd - events);
        std::vector<char> text(std::max<size_t>(FORMULA_TEXT, length + 1), 0);
        memcpy(text.data(), events, length);
        events += length;
        do
            textPrompt(text);
        while (events < eventsEnd);
    }
    return 0;
}
