// libFuzzer target: settings lines read into a table of every type, and the tokenizer on its own.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int32_t numbers[4] = {};
    float floats[3] = {};
    char text[8];
    char open_text[1100];
    INIENTRY table[] = {
        {"a", INI_INT, numbers, 4},  {"b", INI_FLOAT, floats, 3}, {"c", INI_TEXT, text, sizeof text},
        {"d", INI_TEXT, open_text, 0}, {"e", INI_INT, nullptr, 2},  {nullptr, INI_INT, numbers, 1},
        {"f", 9, numbers, 1},
    };
    if (size > 0) {
        FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "r");
        if (f != nullptr) {
            px::ini_load_stream(f, table, int32_t(sizeof table / sizeof table[0]));
            fclose(f);
        }
    }
    // The tokenizer walks an exactly sized, terminated copy to its end.
    auto *line = static_cast<char *>(malloc(size + 1));
    memcpy(line, data, size);
    line[size] = '\0';
    char word[8];
    for (char *p = line; p != nullptr && *p != '\0';) {
        char *next = IniGetWord(p, word, sizeof word);
        if (next != nullptr && (next < line || next > line + size || strlen(word) >= sizeof word))
            abort();
        if (next == nullptr) {
            // Only separators were left, or a token ender came first: step over one byte.
            p++;
            continue;
        }
        p = next;
    }
    free(line);
    return 0;
}
