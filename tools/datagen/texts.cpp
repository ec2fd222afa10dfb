// The text files of the language pack "mnutext": the menu texts (the framework's built-in English
// texts first, as they stand in its code), the key names and the help, rules, tip and demo texts.
#include <stdio.h>

#include "gen.h"
#include "help_data.h"
#include "texts.h"

namespace datagen {
namespace {

const char *const kEol = "\r\n";

struct GameText {
    const char *prefix, *name, *goal, *controls;
    const char *tips[3];
};

const GameText kGames[] = {
    {"vn", "Varnel", "Turn the layers of the cube until every face shows one colour.",
     "Drag a layer with the left mouse button to turn it.\nThe arrow keys turn the whole cube.",
     {"Solve one face first, then the layer below it.", "Keep the centre pieces in mind: they never move.",
      "Use Undo freely; the clock keeps running."}},
    {"mk", "Mossik", "Slide the tiles until the picture is whole again.",
     "Click a tile next to the gap to move it.\nThe arrow keys move the tile into the gap.",
     {"Finish the top row before anything else.", "Corners are easiest placed two at a time.",
      "A tile in the wrong row costs more moves than it seems."}},
    {"fw", "Terrow", "Build the missing part of the track: take slopes, corners and blocks from the supply, "
     "set each ball on its way and start the run. Get enough balls into the glowing goal to finish the field.",
     "Click a piece in the supply, then click where it goes on the field.\nClick a ball to choose its "
     "direction. The Start button runs the balls; press it again to pause.\nArrow keys and Page Up/Down "
     "move the camera, Home resets the field, F1 opens help.",
     {"Iron balls are heavy and roll far; plastic balls are light.", "Press Start again to pause a run and look at the field from another side.",
      "Bombs blow up what they hit: keep them away from the pieces you need."}},
    {"kp", "Kelpa",
     "Steer a worm of five coloured cubes across the board of eleven by eleven squares. Where the worm stops, "
     "a worm cube that lines up with two or more cubes of its own colour clears them away. Reach every exit "
     "square with the worm's head to win the level.",
     "Right turns the worm along one side of the board, Left along the other; hold the key to hurry.\n"
     "Space moves the worm's colours on by one place.\nThe bindings can be changed in the options.",
     {"Turn the colours before the worm stops: the head's match is played first.",
      "A worm that stops with nothing to clear stays on the board as a wall.",
      "Build your own boards and patterns in the level editor."}},
    {"dm", "Dunmar", "Fill the grid so that every row and column holds each sign once.",
     "Click a cell and type a sign.\nDelete clears the cell.",
     {"Start with the rows that are nearly full.", "A sign that fits one cell only goes there.",
      "Mark your guesses and check them often."}},
};

void entry(std::string &out, const std::string &text)
{
    out += "~" + text + kEol;
}

// "\n" inside a text becomes the file's line end.
std::string lines(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += kEol;
        else
            out += c;
    }
    return out + kEol;
}

std::string mnutext()
{
    std::string out;
    for (int i = 0; i < vok::kBuiltinCount; i++)
        entry(out, vok::text(i));
    return out;
}

std::string key_name(int code)
{
    static const char *const kNamed[][2] = {
        {"\xC0", "`"}, {"\xBD", "-"}, {"\xBB", "="}, {"\xDB", "["}, {"\xDD", "]"}, {"\xBA", ";"},
        {"\xDE", "'"}, {"\xBC", ","}, {"\xBE", "."}, {"\xBF", "/"}, {"\xDC", "\\"},
    };
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return std::string(1, char(code));
    for (auto &n : kNamed)
        if (uint8_t(n[0][0]) == code)
            return n[1];
    static const char *const kMouse[] = {"Left Button", "Right Button", "Cancel", "Middle Button"};
    if (code >= 1 && code <= 4)
        return kMouse[code - 1];
    static const char *const kControl[][2] = {{"\x08", "Backspace"}, {"\x09", "Tab"},   {"\x0C", "Clear"},
                                              {"\x0D", "Enter"},     {"\x10", "Shift"}, {"\x11", "Ctrl"},
                                              {"\x12", "Alt"},       {"\x13", "Pause"}, {"\x14", "Caps Lock"},
                                              {"\x1B", "Esc"}};
    for (auto &n : kControl)
        if (uint8_t(n[0][0]) == code)
            return n[1];
    static const char *const kMove[] = {"Space",  "Page Up", "Page Down", "End",          "Home",   "Left",
                                        "Up",     "Right",   "Down",      "Select",       "Print",  "Execute",
                                        "PrtScn", "Insert",  "Delete",    "Help"};
    if (code >= 0x20 && code <= 0x2F)
        return kMove[code - 0x20];
    if (code >= 0x5B && code <= 0x5D)
    {
        static const char *const kWin[] = {"Left Win", "Right Win", "Menu"};
        return kWin[code - 0x5B];
    }
    if (code >= 0x60 && code <= 0x69)
        return "Num " + std::to_string(code - 0x60);
    static const char *const kPad[] = {"Num *", "Num +", "Separator", "Num -", "Num .", "Num /"};
    if (code >= 0x6A && code <= 0x6F)
        return kPad[code - 0x6A];
    if (code >= 0x70 && code <= 0x87)
        return "F" + std::to_string(code - 0x70 + 1);
    if (code == 0x90)
        return "Num Lock";
    if (code == 0x91)
        return "Scroll Lock";
    static const char *const kSides[] = {"Left Shift", "Right Shift", "Left Ctrl", "Right Ctrl", "Left Alt", "Right Alt"};
    if (code >= 0xA0 && code <= 0xA5)
        return kSides[code - 0xA0];
    if (code >= 0x1000)
        return "Extra " + std::to_string(code - 0x1000 + 1);
    return "?";
}

}  // namespace

std::string key_names()
{
    std::string out;
    for (int i = 0; i < vok::kKeyNameCount; i++)
        out += key_name(vok::key_code(i)) + kEol;
    return out;
}

std::map<std::string, std::string> language_texts(const std::string &lang)
{
    std::map<std::string, std::string> files;
    if (lang != "US" && lang != "UK")
        return files;
    files["mnutext.txt"] = mnutext();
    files["keys.txt"] = key_names();
    files["mainhelp.txt"] = lines(
        "Velmo's Games\n\nChoose a game in the main menu with the mouse or the arrow keys and press Enter.\n"
        "Each game has its own help pages: rules, controls and tips.\n\nEsc goes back one screen; F1 opens help.");
    files["story.txt"] = lines(
        "Long ago, in the workshop of Velmo, every puzzle was made by hand.\n"
        "Now the puzzles wait for you. Solve them all to earn your place among the best players.");
    files["credits.txt"] = lines("Velmo's Games\n\nProgramming, pictures, sounds and music:\nthe Velmo's Games team\n\n"
                                 "Thank you for playing!");
    files["vnunscr.txt"] = lines("Unscramble: the cube is mixed for you. Bring every face back to one colour.");
    files["vnlearn.txt"] = lines("Learn: the cube shows you one step at a time. Follow the marked layer.");
    files["vnstudy.txt"] = lines("Study: make any moves you like and watch how the pieces travel.");
    files["vnfree.txt"] = lines("Free Play: no clock and no score. Turn the cube as you please.");
    files["fwepito.txt"] = lines("Fenlow, the field builder: put elements on any free side of others, mark each one fixed "
                                 "or supplied, set the balls' directions, and try the field with a test run.");
    for (const GameText &g : kGames) {
        const std::string p = g.prefix;
        files[p + "rules.txt"] = lines(std::string(g.name) + "\n\n" + g.goal);
        files[p + "ctrl.txt"] = lines(g.controls);
        for (int i = 0; i < 3; i++)
            files[p + "tip" + std::to_string(i + 1) + ".txt"] = lines(g.tips[i]);
        // Demo script: "~start,end" then the text shown from start to end (milliseconds of the movie).
        std::string demo;
        demo += std::string("~500,3500") + kEol + "This is " + g.name + "." + kEol;
        demo += std::string("~4000,8000") + kEol + g.goal + kEol;
        demo += std::string("~8500,12000") + kEol + "Now it is your turn!" + kEol;
        files[p + "demo.txt"] = demo;
    }
    help_texts(files);
    return files;
}

}  // namespace datagen
