// Texts and clips of the help, story, credits and movie screens.
#include "help_data.h"

#include <stdint.h>

#include <algorithm>
#include <cmath>

#include "mzi/mziwriter.h"

namespace datagen {

const char *const kCreditClips[5] = {"crpage.dat", "cr1.dat", "cr2.dat", "cr3.dat", "cr4.dat"};

namespace {

std::string crlf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out + "\r\n";
}

const char kMainHelp[] =
    "Welcome to Velmo's Games\n"
    "\n"
    "Five puzzle games wait in the main menu. Point at one with the mouse or the arrow keys and press "
    "Enter (or click) to open it.\n"
    "\n"
    "In every game\n"
    "- Esc goes back one screen, and asks before it leaves a game in play.\n"
    "- F1 opens the help of the game you are playing.\n"
    "- The Options button sets the music, the sound effects and the keys.\n"
    "- Your name is asked once; the best times are kept under it.\n"
    "\n"
    "The games\n"
    "- Varnel: turn the layers of the cube until each face shows one colour.\n"
    "- Mossik: slide the tiles until the picture is whole again.\n"
    "- Terrow: build the missing track and bring the balls into the goal.\n"
    "- Kelpa: lead the worm across the board and match its colours.\n"
    "- Dunmar: outwit your opponent on the board, alone or against a friend.\n"
    "\n"
    "Help pages\n"
    "Pick a game below to read its rules. On a game's pages the buttons show the rules, the controls, "
    "the tips (Up and Down turn the pages) and a short movie of the game in play.\n"
    "\n"
    "Long pages scroll: use the arrow buttons on the right, the Up and Down keys, Page Up and Page Down, "
    "or Home and End.\n"
    "\n"
    "Levels\n"
    "Each game has groups of levels from easy to extra hard. A level you solve is marked in the list; "
    "the next unsolved level opens with Next.\n"
    "\n"
    "Replays\n"
    "After a level the results screen can show your game again, and save the replay to show it to a friend.\n"
    "\n"
    "Have fun!";

const char kStory[] =
    "#The Workshop\n"
    "Long ago, in a narrow street of an old harbour town, there was a workshop with a green door. Velmo, "
    "a puzzle maker, lived above it. Every morning he opened the shutters and laid out his tools: small "
    "saws, brass hinges, coloured lacquers and a box of glass marbles. Sailors brought him wood from far "
    "countries; children brought him questions. He answered the questions with puzzles.\n"
    "\n"
    "A cube whose faces could be turned, so that no two colours met where they should. A frame of "
    "sliding tiles that hid a picture of the harbour. A track of wooden rails that a marble would "
    "follow, if only the last pieces were set right.\n"
    "\n"
    "#The Games\n"
    "The town loved them. Fishermen played them on the quay while the nets dried; the baker kept one "
    "under the counter. Every puzzle had a name, and every name was written in Velmo's book. Varnel was "
    "the cube. Mossik was the frame of tiles. Terrow was the track of marbles. Kelpa was a worm of "
    "painted beads that had to find its way across a board of colours. And Dunmar was a game for two, "
    "played on a board of squares by the light of the workshop lamp.\n"
    "\n"
    "Years went by. Velmo grew old, and one winter the green door stayed shut. In the spring the "
    "townspeople found the workshop empty, the tools in their places, and the book open on the table. On "
    "the last page he had written:\n"
    "\n"
    "\"Whoever solves them all may keep them.\"\n"
    "\n"
    "#Your Turn\n"
    "The puzzles travelled. They were copied, lost and found again, and now they have come to you. Every "
    "level you solve is written in the book under your name, with the time it took you. Solve them all "
    "to earn your place among the best players, and perhaps, one day, to make puzzles of your own.\n"
    "\n"
    "Good luck!";

const char kCredits[] =
    "Velmo's Games\n"
    "\n"
    "Design and programming\n"
    "the Velmo's Games team\n"
    "\n"
    "Pictures and movies\n"
    "the Velmo's Games team\n"
    "\n"
    "Sounds and music\n"
    "the Velmo's Games team\n"
    "\n"
    "Thank you for playing!";

}  // namespace

void help_texts(std::map<std::string, std::string> &files)
{
    files["mainhelp.txt"] = crlf(kMainHelp);
    files["story.txt"] = crlf(kStory);
    files["credits.txt"] = crlf(kCredits);
    // The demo scripts count the clip's frames (10 a second), not milliseconds.
    for (auto &[name, text] : files) {
        if (name.size() != 10 || name.compare(2, 8, "demo.txt") != 0)
            continue;
        std::string out;
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find("\r\n", at);
            std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
            at = end == std::string::npos ? text.size() : end + 2;
            int start = 0, stop = 0;
            if (line.size() > 1 && line[0] == '~' && sscanf(line.c_str() + 1, "%d,%d", &start, &stop) == 2 && start >= 0)
                line = "~" + std::to_string(start / 100) + "," + std::to_string(stop / 100);
            out += line + "\r\n";
        }
        text = out;
    }
}

std::vector<uint8_t> demo_clip(const art::Image &base, int frames, double hz, unsigned seed)
{
    mziw::Options options;
    options.fps = 10;
    options.per_frame_flag = 1;  // frames of their own sizes
    mziw::Writer writer(options);
    mziw::Track track;
    track.data = mziw::tone(hz, uint32_t(frames * 100), track.rate, 1);
    writer.add_track(track);
    const int w = base.width, h = base.height, block = std::max(8, std::min(w, h) / 6);
    // The piece's colour and path: a loop over the picture, its own for each clip.
    const uint32_t colours[] = {0xFFF2C14E, 0xFF5FD47E, 0xFF3FA8E0, 0xFFE0503C, 0xFFB07FE0};
    const uint32_t piece = colours[seed % 5];
    auto where = [&](int f, int &x, int &y) {
        double t = 2 * M_PI * f / std::max(1, frames) + seed;
        x = int((w - block) * (0.5 + 0.42 * std::cos(t)));
        y = int((h - block) * (0.5 + 0.42 * std::sin(2 * t)));
    };
    auto pixel = [&](int x, int y, int px, int py) {
        bool inside = x >= px && x < px + block && y >= py && y < py + block;
        bool edge = inside && (x - px < 2 || y - py < 2 || px + block - x <= 2 || py + block - y <= 2);
        return inside ? (edge ? 0xFFFFFFFFu : piece) : base.argb[size_t(y) * size_t(w) + size_t(x)];
    };
    int lastX = 0, lastY = 0;
    for (int f = 0; f < frames; f++) {
        int px, py;
        where(f, px, py);
        // The first frame whole, then the rectangle over the piece's old and new places.
        int x0 = 0, y0 = 0, x1 = w, y1 = h;
        if (f > 0) {
            x0 = std::min(px, lastX), y0 = std::min(py, lastY);
            x1 = std::max(px, lastX) + block, y1 = std::max(py, lastY) + block;
        }
        const int rw = x1 - x0, rh = y1 - y0;
        std::vector<uint8_t> pixels(size_t(rw) * size_t(rh) * 2);
        for (int y = 0; y < rh; y++)  // bottom row first
            for (int x = 0; x < rw; x++) {
                const uint32_t c = pixel(x0 + x, y0 + rh - 1 - y, px, py);
                mziw::put_pixel(5, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255,
                                pixels.data() + (size_t(y) * size_t(rw) + size_t(x)) * 2);
            }
        writer.add_frame(5, uint16_t(rw), uint16_t(rh), pixels, y0, x0);
        lastX = px, lastY = py;
    }
    return writer.bytes();
}

}  // namespace datagen
