// Words of the help, story, credits and movie screens' pictures.
#include "art_help.h"

namespace datagen::art {

namespace {

struct Words {
  const char* name;
  const char* text[4];  // English, German, French, Hungarian
};

const Words kTitles[] = {
    {"helpbg", {"Help", "Hilfe", "Aide", "Súgó"}},
    {"storybg", {"The Story", "Die Geschichte", "L'histoire", "A történet"}},
    {"creditbg", {"Credits", "Mitwirkende", "Crédits", "Készítők"}},
    {"hunscram", {"Unscramble", "Entwirren", "Démêler", "Kirakás"}},
    {"hlearn", {"Learn", "Lernen", "Apprendre", "Tanulás"}},
    {"hfreestu", {"Free Study", "Freies Üben", "Étude libre", "Szabad gyakorlás"}},
    {"hstudy", {"Study", "Üben", "Étude", "Gyakorlás"}},
    {"hcreate", {"Build a Field", "Feld bauen", "Construire", "Pályaépítés"}},
    {"crpage", {"Credits", "Mitwirkende", "Crédits", "Készítők"}},
    {"cr1", {"The Team", "Das Team", "L'équipe", "A csapat"}},
    {"cr2", {"Pictures", "Bilder", "Images", "Képek"}},
    {"cr3", {"Sounds", "Klänge", "Sons", "Hangok"}},
    {"cr4", {"Thank You", "Danke", "Merci", "Köszönjük"}},
};

const Words kButtons[] = {
    {"rules", {"Rules", "Regeln", "Règles", "Szabályok"}},
    {"controls", {"Controls", "Steuerung", "Commandes", "Irányítás"}},
    {"tips", {"Tips", "Tipps", "Astuces", "Tippek"}},
    {"movie", {"Movie", "Film", "Film", "Film"}},
    {"part1", {"Part 1", "Teil 1", "Partie 1", "1. rész"}},
    {"part2", {"Part 2", "Teil 2", "Partie 2", "2. rész"}},
    {"part3", {"Part 3", "Teil 3", "Partie 3", "3. rész"}},
    {"crpeople", {"People", "Team", "Équipe", "Csapat"}},
    {"crart", {"Pictures", "Bilder", "Images", "Képek"}},
    {"crsound", {"Sound", "Klang", "Son", "Hang"}},
    {"crthanks", {"Thanks", "Dank", "Merci", "Köszönet"}},
    {"crhome", {"Credits", "Mitwirkende", "Crédits", "Készítők"}},
    {"up", {"\u25B2", "\u25B2", "\u25B2", "\u25B2"}},
    {"down", {"\u25BC", "\u25BC", "\u25BC", "\u25BC"}},
};

int index_of(const std::string& lang) {
  return lang == "GE" ? 1 : lang == "FR" ? 2 : lang == "HU" ? 3 : 0;
}

template <size_t N>
bool find(const Words (&table)[N], const std::string& pack, const std::string& name, const std::string& lang,
          std::string& out) {
  // The clips of the credits lie in no pack.
  if (pack != "help" && pack != "credit" && pack != "masmoz" && !(pack.empty() && name.rfind("cr", 0) == 0))
    return false;
  for (const Words& w : table)
    if (name == w.name) {
      out = w.text[index_of(lang)];
      return true;
    }
  return false;
}

struct Credit {
  const char* name;
  std::vector<std::string> lines;
};

const Credit kCredits[] = {
    {"crpage", {"Velmo's Games", "was made by", "the Velmo's Games team"}},
    {"cr1", {"Design and programming", "the Velmo's Games team"}},
    {"cr2", {"Pictures and movies", "the Velmo's Games team"}},
    {"cr3", {"Sounds and music", "the Velmo's Games team"}},
    {"cr4", {"Thank you", "for playing!"}},
};

}  // namespace

bool credit_lines(const std::string& pack, const std::string& name, std::vector<std::string>& lines) {
  if (!pack.empty())
    return false;
  for (const Credit& c : kCredits)
    if (name == c.name) {
      lines = c.lines;
      return true;
    }
  return false;
}

bool help_title(const std::string& pack, const std::string& name, const std::string& lang, std::string& title) {
  return find(kTitles, pack, name, lang, title);
}

bool help_button(const std::string& pack, const std::string& name, const std::string& lang, std::string& word) {
  return find(kButtons, pack, name, lang, word);
}

}  // namespace datagen::art
