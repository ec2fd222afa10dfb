// The screen description parser and its checks.
#include "scenedesc.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <map>

namespace vok {

namespace {

constexpr int kMaxSessions = 64;
constexpr int kMaxIkons = 256;
constexpr size_t kMaxString = 255;
constexpr int kMaxCoord = 100000;
// Sessions and ikons become pictures of their size: no larger than a scene can be.
constexpr int kMaxSize = 4096;

struct Bit {
    const char *name;
    uint32_t value;
};

const Bit kSceneBits[] = {{"window", VOK_SCENE_OWNWINDOW}, {"border", VOK_SCENE_BORDER},
                          {"caption", VOK_SCENE_CAPTION},  {"keepproc", VOK_SCENE_KEEPPROC},
                          {"keeplook", VOK_SCENE_KEEPLOOK}, {"copy", VOK_SCENE_COPY}};
const Bit kSessionBits[] = {{"right", VOK_SES_RIGHT},       {"bottom", VOK_SES_BOTTOM},
                            {"hcentre", VOK_SES_HCENTRE},   {"vcentre", VOK_SES_VCENTRE},
                            {"border", VOK_SES_BORDER},     {"alpha", VOK_SES_ALPHA},
                            {"plain", VOK_SES_PLAIN},       {"notshown", VOK_SES_NOTSHOWN},
                            {"nofocusid", VOK_SES_NOFOCUSID}, {"delayed", VOK_SES_DELAYED}};
const Bit kIkonBits[] = {{"act1", VOK_IK_ACT1},
                         {"act2", VOK_IK_ACT2},
                         {"act", VOK_IK_ACT1 | VOK_IK_ACT2},
                         {"right", VOK_IK_RIGHT},
                         {"bottom", VOK_IK_BOTTOM},
                         {"hcentre", VOK_IK_HCENTRE},
                         {"vcentre", VOK_IK_VCENTRE},
                         {"border", VOK_IK_BORDER},
                         {"afterprev", VOK_IK_AFTERPREV},
                         {"focusborder", VOK_IK_FOCUSBORDER},
                         {"dblclick", VOK_IK_DBLCLICK},
                         {"focusfill", VOK_IK_FOCUSFILL},
                         {"alpha", VOK_IK_ALPHA},
                         {"plain", VOK_IK_PLAIN},
                         {"inactive", VOK_IK_INACTIVE},
                         {"keep", VOK_IK_KEEP},
                         {"inbackground", VOK_IK_INBACKGROUND}};
const Bit kAlignBits[] = {{"right", VOK_ALIGN_RIGHT},
                          {"bottom", VOK_ALIGN_BOTTOM},
                          {"hcentre", VOK_ALIGN_HCENTRE},
                          {"vcentre", VOK_ALIGN_VCENTRE},
                          {"centre", VOK_ALIGN_HCENTRE | VOK_ALIGN_VCENTRE}};
const Bit kMovieBits[] = {{"range", VOK_MOVIE_LOOP}, {"rate", VOK_MOVIE_RATE}};
const Bit kTypes[] = {{"plain", VOK_IKON_PLAIN}, {"unfocus", VOK_IKON_UNFOCUS}, {"edit", VOK_IKON_EDIT},
                      {"list", VOK_IKON_LIST},   {"scroll", VOK_IKON_SCROLL}};

const Bit kKeys[] = {{"BACK", 0x08},   {"TAB", 0x09},    {"RETURN", 0x0D}, {"ESCAPE", 0x1B}, {"SPACE", 0x20},
                     {"PRIOR", 0x21},  {"NEXT", 0x22},   {"END", 0x23},    {"HOME", 0x24},   {"LEFT", 0x25},
                     {"UP", 0x26},     {"RIGHT", 0x27},  {"DOWN", 0x28},   {"INSERT", 0x2D}, {"DELETE", 0x2E},
                     {"F1", 0x70},     {"F2", 0x71},     {"F3", 0x72},     {"F4", 0x73},     {"F5", 0x74},
                     {"F6", 0x75},     {"F7", 0x76},     {"F8", 0x77},     {"F9", 0x78},     {"F10", 0x79},
                     {"F11", 0x7A},    {"F12", 0x7B}};

struct Token {
    enum Kind { kWord, kString, kNumber, kBar, kEnd } kind = kEnd;
    std::string text;
    int64_t number = 0;
};

class Parser {
public:
    Parser(const char *name, const char *text, size_t size) : name_(name), p_(text), end_(text + size) {}

    std::unique_ptr<ScreenDesc> run(std::string &error);

private:
    // Reading
    bool next_line();
    bool token(Token &t);
    bool expect_number(int64_t &v, int64_t lo, int64_t hi);
    bool expect_int(int32_t &v) { return expect_int_range(v, -kMaxCoord, kMaxCoord); }
    // Ids: game tabs carry the game identifiers (0x4B4F5600..).
    bool expect_id(int32_t &v) { return expect_int_range(v, INT32_MIN, INT32_MAX); }
    bool expect_int_range(int32_t &v, int64_t lo, int64_t hi);
    bool expect_size(int32_t &v) { return expect_int_range(v, -kMaxSize, kMaxSize); }
    bool expect_u32(uint32_t &v);
    bool expect_string(const char *&out);
    bool expect_flags(uint32_t &v, const Bit *bits, size_t count);
    bool expect_key(int32_t &v);
    bool expect_routine(void *&out, int kind);
    bool expect_end();
    bool fail(const char *format, ...) __attribute__((format(printf, 2, 3)));

    bool scene_field(const std::string &f);
    bool session_field(const std::string &f);
    bool ikon_field(const std::string &f);
    bool movie_value(const MOVIEDATA *&out);
    bool control_value(void *&out);
    bool check();

    const char *name_;
    const char *p_;
    const char *end_;
    std::vector<Token> line_;
    size_t pos_ = 0;
    int lineNo_ = 0;
    std::string error_;
    std::unique_ptr<ScreenDesc> d_;
    int level_ = 0; // 0 scene, 1 session, 2 ikon
};

bool Parser::fail(const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (error_.empty())
        error_ = std::string(name_) + ":" + std::to_string(lineNo_) + ": " + text;
    return false;
}

// Splits the next non-empty line into tokens.
bool Parser::next_line()
{
    line_.clear();
    pos_ = 0;
    while (p_ < end_ && line_.empty()) {
        lineNo_++;
        while (p_ < end_ && *p_ != '\n') {
            char c = *p_;
            if (c == '#')
                while (p_ < end_ && *p_ != '\n')
                    p_++;
            else if (c == ' ' || c == '\t' || c == '\r')
                p_++;
            else if (c == '|') {
                line_.push_back({Token::kBar, "|", 0});
                p_++;
            } else if (c == '"') {
                Token t{Token::kString, "", 0};
                p_++;
                for (;;) {
                    if (p_ >= end_ || *p_ == '\n')
                        return fail("unterminated string");
                    char s = *p_++;
                    if (s == '"')
                        break;
                    if (s == '\\') {
                        if (p_ >= end_ || *p_ == '\n')
                            return fail("unterminated string");
                        char e = *p_++;
                        s = e == 'n' ? '\n' : e == 't' ? '\t' : e;
                        if (e != 'n' && e != 't' && e != '\\' && e != '"')
                            return fail("unknown escape '\\%c'", e);
                    }
                    if (s == '\0')
                        return fail("zero byte in a string");
                    t.text += s;
                    if (t.text.size() > kMaxString)
                        return fail("string longer than %zu bytes", kMaxString);
                }
                line_.push_back(std::move(t));
            } else if (c == '\0') {
                return fail("zero byte");
            } else {
                Token t;
                const char *start = p_;
                while (p_ < end_ && *p_ && !strchr(" \t\r\n|#\"", *p_))
                    p_++;
                t.text.assign(start, p_);
                if (t.text.size() > 64)
                    return fail("word too long");
                const char *s = t.text.c_str();
                bool neg = *s == '-';
                const char *digits = neg ? s + 1 : s;
                if (isdigit((unsigned char)*digits)) {
                    int base = digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') ? 16 : 10;
                    const char *q = base == 16 ? digits + 2 : digits;
                    if (!*q)
                        return fail("bad number '%s'", s);
                    uint64_t v = 0;
                    for (; *q; q++) {
                        int dv = isdigit((unsigned char)*q) ? *q - '0'
                                 : base == 16 && isxdigit((unsigned char)*q) ? tolower(*q) - 'a' + 10
                                                                            : -1;
                        if (dv < 0)
                            return fail("bad number '%s'", s);
                        v = v * base + dv;
                        if (v > 0xFFFFFFFFull)
                            return fail("number out of range '%s'", s);
                    }
                    t.kind = Token::kNumber;
                    t.number = neg ? -int64_t(v) : int64_t(v);
                } else {
                    t.kind = Token::kWord;
                }
                line_.push_back(std::move(t));
            }
        }
        if (p_ < end_)
            p_++;
    }
    return true;
}

bool Parser::token(Token &t)
{
    if (pos_ >= line_.size()) {
        t = Token{};
        return false;
    }
    t = line_[pos_++];
    return true;
}

bool Parser::expect_end()
{
    if (pos_ < line_.size())
        return fail("unexpected '%s'", line_[pos_].text.c_str());
    return true;
}

bool Parser::expect_number(int64_t &v, int64_t lo, int64_t hi)
{
    Token t;
    if (!token(t) || t.kind != Token::kNumber)
        return fail("number expected");
    if (t.number < lo || t.number > hi)
        return fail("%lld out of range %lld..%lld", (long long)t.number, (long long)lo, (long long)hi);
    v = t.number;
    return true;
}

bool Parser::expect_int_range(int32_t &v, int64_t lo, int64_t hi)
{
    int64_t n;
    if (!expect_number(n, lo, hi))
        return false;
    v = int32_t(n);
    return true;
}

bool Parser::expect_u32(uint32_t &v)
{
    int64_t n;
    if (!expect_number(n, 0, 0xFFFFFFFFll))
        return false;
    v = uint32_t(n);
    return true;
}

bool Parser::expect_string(const char *&out)
{
    Token t;
    if (!token(t))
        return fail("text expected");
    if (t.kind == Token::kWord && t.text == "none") {
        out = nullptr;
        return true;
    }
    if (t.kind != Token::kString)
        return fail("quoted text expected");
    d_->strings.push_back(t.text);
    out = d_->strings.back().c_str();
    return true;
}

bool Parser::expect_flags(uint32_t &v, const Bit *bits, size_t count)
{
    v = 0;
    bool any = false, wantValue = true;
    Token t;
    while (pos_ < line_.size()) {
        token(t);
        if (t.kind == Token::kBar) {
            if (wantValue)
                return fail("flag expected before '|'");
            wantValue = true;
            continue;
        }
        if (!wantValue)
            return fail("'|' expected before '%s'", t.text.c_str());
        if (t.kind == Token::kNumber) {
            if (t.number < 0)
                return fail("negative flags");
            v |= uint32_t(t.number);
        } else if (t.kind == Token::kWord) {
            size_t i = 0;
            while (i < count && t.text != bits[i].name)
                i++;
            if (i == count)
                return fail("unknown flag '%s'", t.text.c_str());
            v |= bits[i].value;
        } else {
            return fail("flag expected");
        }
        any = true;
        wantValue = false;
    }
    if (!any || wantValue)
        return fail("flag expected");
    return true;
}

bool Parser::expect_key(int32_t &v)
{
    Token t;
    if (!token(t))
        return fail("key expected");
    if (t.kind == Token::kNumber) {
        if (t.number < 0 || t.number > 255)
            return fail("key %lld out of range 0..255", (long long)t.number);
        v = int32_t(t.number);
        return true;
    }
    if (t.kind == Token::kWord) {
        if (t.text.size() == 1 && (isdigit((unsigned char)t.text[0]) || isupper((unsigned char)t.text[0]))) {
            v = t.text[0];
            return true;
        }
        for (const Bit &k : kKeys)
            if (t.text == k.name) {
                v = int32_t(k.value);
                return true;
            }
    }
    return fail("unknown key '%s'", t.text.c_str());
}

bool Parser::expect_routine(void *&out, int kind)
{
    Token t;
    if (!token(t) || t.kind != Token::kWord)
        return fail("routine name expected");
    if (t.text == "none") {
        out = nullptr;
        return true;
    }
    out = find_routine(t.text.c_str(), kind);
    if (!out)
        return fail("unknown routine '%s'", t.text.c_str());
    return true;
}

bool Parser::movie_value(const MOVIEDATA *&out)
{
    MOVIEDATA m{VOK_MOVIE_DEFAULT_FLAGS, 16, 0, 1000};
    Token t;
    while (token(t)) {
        if (t.kind != Token::kWord)
            return fail("movie setting expected");
        if (t.text == "flags") {
            // Flags run to the next setting name.
            size_t stop = pos_;
            while (stop < line_.size() && line_[stop].text != "fps" && line_[stop].text != "loop")
                stop++;
            std::vector<Token> rest(line_.begin() + stop, line_.end());
            line_.resize(stop);
            if (!expect_flags(m.flags, kMovieBits, sizeof kMovieBits / sizeof *kMovieBits))
                return false;
            line_.insert(line_.end(), rest.begin(), rest.end());
        } else if (t.text == "fps") {
            if (!expect_int_range(m.fps, 1, 1000))
                return false;
        } else if (t.text == "loop") {
            if (!expect_int_range(m.loopStart, 0, kMaxCoord) || !expect_int_range(m.loopEnd, 0, kMaxCoord))
                return false;
            if (m.loopEnd < m.loopStart)
                return fail("loop end before its start");
        } else {
            return fail("unknown movie setting '%s'", t.text.c_str());
        }
    }
    d_->movies.push_back(m);
    out = &d_->movies.back();
    return true;
}

bool Parser::control_value(void *&out)
{
    Token t;
    if (!token(t) || t.kind != Token::kWord)
        return fail("control kind expected");
    VokControlDesc c{};
    if (t.text == "list") {
        c.kind = VOK_CTL_LIST;
        if (!expect_int_range(c.a, 1, 4096) || !expect_int_range(c.b, 0, 65536) || !expect_int_range(c.c, 1, 1024))
            return false;
    } else if (t.text == "edit") {
        c.kind = VOK_CTL_EDIT;
        if (!expect_int_range(c.a, 1, 4096))
            return false;
        if (pos_ < line_.size()) {
            token(t);
            if (t.text != "search")
                return fail("'search' expected");
            c.b = 0x20000;
        }
    } else if (t.text == "scroll") {
        c.kind = VOK_CTL_SCROLL;
        if (!expect_int_range(c.a, 0, kMaxCoord) || !expect_int_range(c.b, 1, kMaxCoord))
            return false;
    } else {
        return fail("unknown control '%s'", t.text.c_str());
    }
    d_->controls.push_back(c);
    out = &d_->controls.back();
    return true;
}

bool Parser::scene_field(const std::string &f)
{
    VokScene &s = d_->scene;
    void *r;
    if (f == "screenId")
        return expect_int_range(s.screenId, 0, 0x7FFFFFFF);
    if (f == "flags")
        return expect_flags(s.flags, kSceneBits, sizeof kSceneBits / sizeof *kSceneBits);
    if (f == "rect")
        return expect_int(s.x) && expect_int(s.y) && expect_int_range(s.width, 1, 4096) &&
               expect_int_range(s.height, 1, 4096);
    if (f == "depth") {
        if (!expect_int(s.depth))
            return false;
        return s.depth == 16 || fail("depth must be 16");
    }
    if (f == "focusSessionId") {
        d_->focusLine = lineNo_;
        return expect_int(s.focusSessionId);
    }
    if (f == "dataPack")
        return expect_string(s.dataPack);
    if (f == "langPack")
        return expect_string(s.langPack);
    if (f == "mouseRoutine")
        return expect_routine(r, kRoutineMouse) && ((s.mouseRoutine = (VokMouseRoutine)r), true);
    if (f == "keyHandler")
        return expect_routine(r, kRoutineKey) && ((s.keyHandler = (VokKeyHandler)r), true);
    if (f == "windowProc")
        return expect_routine(r, kRoutineWindow) && ((s.windowProc = (WNDPROC)r), true);
    return fail("unknown scene field '%s'", f.c_str());
}

bool Parser::session_field(const std::string &f)
{
    VokSession &s = d_->sessions.back();
    void *r;
    if (f == "flags")
        return expect_flags(s.flags, kSessionBits, sizeof kSessionBits / sizeof *kSessionBits);
    if (f == "focusId")
        return expect_id(s.focusId);
    if (f == "rect")
        return expect_int(s.x) && expect_int(s.y) && expect_size(s.width) && expect_size(s.height);
    if (f == "input")
        return expect_int(s.inputX) && expect_int(s.inputY) && expect_int(s.inputWidth) && expect_int(s.inputHeight);
    if (f == "content")
        return expect_int_range(s.contentWidth, 0, 4096) && expect_int_range(s.contentHeight, 0, 4096);
    if (f == "background")
        return expect_string(s.background);
    if (f == "focusBackground")
        return expect_string(s.focusBackground);
    if (f == "extraPicture1")
        return expect_string(s.extraPicture1);
    if (f == "extraPicture2")
        return expect_string(s.extraPicture2);
    if (f == "fontFile")
        return expect_string(s.fontFile);
    if (f == "initRoutine")
        return expect_routine(r, kRoutineSession) && ((s.initRoutine = (VokSessionRoutine)r), true);
    if (f == "afterBuildRoutine")
        return expect_routine(r, kRoutineSession) && ((s.afterBuildRoutine = (VokSessionRoutine)r), true);
    if (f == "fillColour")
        return expect_u32(s.fillColour);
    if (f == "borderColour")
        return expect_u32(s.borderColour);
    return fail("unknown session field '%s'", f.c_str());
}

bool Parser::ikon_field(const std::string &f)
{
    VokIkon &k = d_->ikons.back().back();
    if (f == "id")
        return expect_id(k.id);
    if (f == "flags")
        return expect_flags(k.flags, kIkonBits, sizeof kIkonBits / sizeof *kIkonBits);
    if (f == "rect")
        return expect_int(k.x) && expect_int(k.y) && expect_size(k.width) && expect_size(k.height);
    if (f == "font")
        return expect_int_range(k.font, 0, 255);
    if (f == "focusFont")
        return expect_int_range(k.focusFont, 0, 255);
    if (f == "text") {
        if (pos_ < line_.size() && line_[pos_].kind == Token::kNumber)
            return expect_int_range(k.text.number, 1, 511);
        k.text.number = 0;
        return expect_string(k.text.string);
    }
    if (f == "textAlign")
        return expect_flags(k.textAlign, kAlignBits, sizeof kAlignBits / sizeof *kAlignBits);
    if (f == "picture")
        return expect_string(k.picture);
    if (f == "focusPicture")
        return expect_string(k.focusPicture);
    if (f == "key")
        return expect_key(k.key);
    if (f == "linkId")
        return expect_id(k.linkId);
    if (f == "control")
        return control_value(k.control);
    if (f == "movie")
        return movie_value(k.movie);
    if (f == "focusMovie")
        return movie_value(k.focusMovie);
    if (f == "fillColour")
        return expect_u32(k.fillColour);
    if (f == "borderColour")
        return expect_u32(k.borderColour);
    if (f == "blitArg")
        return expect_int_range(k.blitArg, 0, 255);
    return fail("unknown ikon field '%s'", f.c_str());
}

bool is_movie_name(const char *name)
{
    size_t n = strlen(name);
    if (n < 4)
        return false;
    const char *e = name + n - 4;
    return !strcasecmp(e, ".flc") || !strcasecmp(e, ".fli") || !strcasecmp(e, ".mzi") || !strcasecmp(e, ".tmz");
}

bool Parser::check()
{
    ScreenDesc &d = *d_;
    VokScene &s = d.scene;
    if (d.sessions.empty()) {
        lineNo_ = 0;
        return fail("no session");
    }
    bool focusFound = s.focusSessionId == 0;
    size_t line = 0;
    for (size_t i = 0; i < d.sessions.size(); i++) {
        VokSession &ses = d.sessions[i];
        if (ses.id == s.focusSessionId)
            focusFound = true;
        if (ses.background && !strcmp(ses.background, "*")) {
            lineNo_ = d.sessionLines[i];
            if (i == 0)
                return fail("session %d: the first session cannot cut its background from itself", ses.id);
            if (ses.width <= 0 || ses.height <= 0)
                return fail("session %d: a \"*\" background needs a width and a height", ses.id);
        }
        for (int j = 0; j < ses.ikonCount; j++, line++) {
            VokIkon &k = ses.ikons[j];
            lineNo_ = d.ikonLines[line];
            if (k.focusPicture && !strcmp(k.focusPicture, "*") && !ses.focusBackground)
                return fail("ikon %d: focus picture \"*\" without a focus background", k.id);
            if (k.focusPicture && !strcmp(k.focusPicture, "?") && !k.picture)
                return fail("ikon %d: focus picture \"?\" without a picture", k.id);
            if (k.movie && !(k.picture && is_movie_name(k.picture)))
                return fail("ikon %d: movie settings for a picture that is no movie", k.id);
            if (k.focusMovie && !(k.focusPicture && is_movie_name(k.focusPicture)))
                return fail("ikon %d: movie settings for a focus picture that is no movie", k.id);
            if (k.control) {
                int kind = static_cast<VokControlDesc *>(k.control)->kind;
                int want = k.type == VOK_IKON_LIST ? VOK_CTL_LIST : k.type == VOK_IKON_EDIT ? VOK_CTL_EDIT
                           : k.type == VOK_IKON_SCROLL                                     ? VOK_CTL_SCROLL
                                                                                             : 0;
                if (kind != want)
                    return fail("ikon %d: the control does not fit an ikon of type %d", k.id, k.type);
            }
            if ((k.flags & VOK_IK_AFTERPREV) && j == 0)
                return fail("ikon %d: \"afterprev\" on the first ikon", k.id);
            if (k.linkId) {
                bool found = false;
                for (int m = 0; m < ses.ikonCount; m++)
                    found |= m != j && ses.ikons[m].id == k.linkId;
                if (!found)
                    return fail("ikon %d: linkId %d names no ikon of the session", k.id, k.linkId);
            }
        }
    }
    lineNo_ = d.focusLine;
    if (!focusFound)
        return fail("focusSessionId %d names no session", s.focusSessionId);
    return true;
}

std::unique_ptr<ScreenDesc> Parser::run(std::string &error)
{
    d_ = std::make_unique<ScreenDesc>();
    VokScene &s = d_->scene;
    s.x = 0, s.y = 0, s.width = 640, s.height = 480, s.depth = 16;
    bool headed = false;
    std::vector<int> ikonLines;
    while (error_.empty()) {
        if (!next_line())
            break;
        if (line_.empty())
            break;
        Token f;
        token(f);
        if (f.kind != Token::kWord) {
            fail("field name expected");
            break;
        }
        if (!headed) {
            if (f.text != "screen" && f.text != "game" && f.text != "backdrop") {
                fail("the file must start with 'screen N', 'game N' or 'backdrop 0'");
                break;
            }
            d_->table = f.text == "screen" ? kTableInterface : f.text == "game" ? kTableGame : kTableBackdrop;
            int32_t n;
            const int last = d_->table == kTableInterface ? VOK_INTERFACE_SCREENS - 1
                             : d_->table == kTableGame    ? VOK_GAME_SCREENS - 1
                                                          : 0;
            if (!expect_int_range(n, 0, last))
                break;
            d_->entry = n;
            headed = true;
        } else if (f.text == "session") {
            if (d_->sessions.size() >= size_t(kMaxSessions)) {
                fail("more than %d sessions", kMaxSessions);
                break;
            }
            d_->sessions.push_back(VokSession{});
            d_->sessionLines.push_back(lineNo_);
            d_->ikons.emplace_back();
            if (!expect_int(d_->sessions.back().id))
                break;
            level_ = 1;
        } else if (f.text == "ikon") {
            if (level_ == 0) {
                fail("ikon outside a session");
                break;
            }
            if (d_->ikons.back().size() >= size_t(kMaxIkons)) {
                fail("more than %d ikons in a session", kMaxIkons);
                break;
            }
            VokIkon k{};
            Token t;
            if (!token(t)) {
                fail("ikon type expected");
                break;
            }
            if (t.kind == Token::kNumber) {
                if (t.number < 0 || t.number > 255) {
                    fail("ikon type out of range 0..255");
                    break;
                }
                k.type = int32_t(t.number);
            } else {
                size_t i = 0;
                while (i < sizeof kTypes / sizeof *kTypes && t.text != kTypes[i].name)
                    i++;
                if (i == sizeof kTypes / sizeof *kTypes) {
                    fail("unknown ikon type '%s'", t.text.c_str());
                    break;
                }
                k.type = int32_t(kTypes[i].value);
            }
            d_->ikons.back().push_back(k);
            ikonLines.push_back(lineNo_);
            level_ = 2;
        } else {
            bool ok = level_ == 0 ? scene_field(f.text) : level_ == 1 ? session_field(f.text) : ikon_field(f.text);
            if (!ok)
                break;
        }
        if (!expect_end())
            break;
    }
    if (error_.empty() && !headed)
        fail("empty description");
    if (!error_.empty()) {
        error = error_;
        return nullptr;
    }
    // Pointers are set once every array has its final place.
    d_->ikonLines = ikonLines;
    s.sessions = d_->sessions.data();
    s.sessionCount = int32_t(d_->sessions.size());
    for (size_t i = 0; i < d_->sessions.size(); i++) {
        d_->sessions[i].ikons = d_->ikons[i].empty() ? nullptr : d_->ikons[i].data();
        d_->sessions[i].ikonCount = int32_t(d_->ikons[i].size());
    }
    if (!check()) {
        error = error_;
        return nullptr;
    }
    return std::move(d_);
}

}  // namespace

std::unique_ptr<ScreenDesc> parse_screen(const char *name, const char *text, size_t size, std::string &error)
{
    Parser p(name ? name : "?", text ? text : "", text ? size : 0);
    return p.run(error);
}

void list_assets(const ScreenDesc &d, std::vector<AssetUse> &out)
{
    const VokScene &s = d.scene;
    std::string data = s.dataPack ? s.dataPack : "";
    if (s.dataPack)
        out.push_back({"pack", "", s.dataPack, 0, 0});
    if (s.langPack)
        out.push_back({"langpack", "", s.langPack, 0, 0});
    auto picture = [&](const char *name, int w, int h) {
        if (!name || !strcmp(name, "*") || !strcmp(name, "?") || !strcasecmp(name, ".mzi"))
            return;
        out.push_back({is_movie_name(name) ? "movie" : "picture", data, name, w > 0 ? w : 0, h > 0 ? h : 0});
    };
    for (int i = 0; i < s.sessionCount; i++) {
        const VokSession &ses = s.sessions[i];
        int w = ses.contentWidth > ses.width ? ses.contentWidth : ses.width;
        int h = ses.contentHeight > ses.height ? ses.contentHeight : ses.height;
        if (i == 0 && ses.width <= 0)
            w = s.width, h = s.height;
        picture(ses.background, w, h);
        picture(ses.focusBackground, w, h);
        picture(ses.extraPicture1, 0, 0);
        picture(ses.extraPicture2, 0, 0);
        if (ses.fontFile)
            out.push_back({"font", "", ses.fontFile, 0, 0});
        for (int j = 0; j < ses.ikonCount; j++) {
            const VokIkon &k = ses.ikons[j];
            picture(k.picture, k.width, k.height);
            picture(k.focusPicture, k.width, k.height);
        }
    }
}

void list_code_assets(std::vector<AssetUse> &out)
{
    out.push_back({"langpack", "", "mnutext", 0, 0});
    out.push_back({"soundpack", "", "mnusound.pck", 0, 0});
}

}  // namespace vok
