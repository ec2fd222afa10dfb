// fontmaker: makes a font pack from a TrueType font.
//   fontmaker OUT.fnp [STYLE...]
// Each STYLE is one font of the set, "key=value" pairs joined by commas (ttf, size, colour, gradient,
// shadow, spacing, linespace, type, picture); none gives one 16-pixel white font of DejaVu Sans.
#include <stdio.h>

#include <string>
#include <vector>

#include "fontmaker/fontmaker.h"
#include "vokplat/paths.h"

int main(int argc, char **argv)
{
    if (argc < 2 || argv[1][0] == '-') {
        fprintf(stderr,
                "usage: fontmaker OUT.fnp [STYLE...]\n"
                "  STYLE: key=value,... with ttf=FILE size=N colour=RRGGBB gradient=RRGGBB shadow=RRGGBB\n"
                "         spacing=N linespace=N type=4444|565|10|rgba picture=NAME\n");
        return 2;
    }
    std::vector<fontmaker::Style> styles;
    std::string error;
    for (int i = 2; i < argc; i++) {
        fontmaker::Style style;
        if (!fontmaker::parse_style(argv[i], style, error)) {
            fprintf(stderr, "fontmaker: %s\n", error.c_str());
            return 2;
        }
        styles.push_back(style);
    }
    if (styles.empty())
        styles.emplace_back();
    if (!fontmaker::make_font_pack(PlatToolPath(argv[1]), styles, error)) {
        fprintf(stderr, "fontmaker: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
