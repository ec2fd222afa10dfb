// Name patterns: "*" any run, "?" any one character, "/" ends the pattern, letters ignore case.
#include "fwstate.h"

static int fold(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

br_boolean BrNamePatternMatch(const char *p, const char *s)
{
    if (p == nullptr)
        return 1;
    if (s == nullptr)
        return 0;
    for (;;) {
        switch (*p) {
        case '\0':
        case '/':
            return *s == '\0';
        case '*':
            for (const char *t = s;; t++) {
                if (BrNamePatternMatch(p + 1, t))
                    return 1;
                if (*t == '\0')
                    return 0;
            }
        case '?':
            if (*s == '\0')
                return 0;
            break;
        default:
            if (fold((unsigned char)*p) != fold((unsigned char)*s))
                return 0;
            break;
        }
        p++;
        s++;
    }
}
