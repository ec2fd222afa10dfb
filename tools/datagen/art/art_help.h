// Words of the help, story, credits and movie screens' pictures.
#pragma once
#include <string>
#include <vector>

namespace datagen::art {

// The title of a full-screen picture of those screens (pack and name in lower case), in language
// `lang` ("GE", "FR", "HU"; others English); false for a name that is not theirs.
bool help_title(const std::string& pack, const std::string& name, const std::string& lang, std::string& title);
// The word of one of their buttons; false for other names.
bool help_button(const std::string& pack, const std::string& name, const std::string& lang, std::string& word);

// The lines a credits clip shows under its title (the clips are the same in every language); false
// for other names.
bool credit_lines(const std::string& pack, const std::string& name, std::vector<std::string>& lines);

}  // namespace datagen::art
