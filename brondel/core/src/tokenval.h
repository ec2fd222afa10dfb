/* Helpers shared by the template code, the string parser and the comparison. Hidden. */
#ifndef BRONDEL_TOKENVAL_H
#define BRONDEL_TOKENVAL_H

#include "brondel/brtoken.h"

/* 16.16 from a float: times 65536, truncated toward zero, held to the 32-bit range. */
br_fixed_ls BrTvFloatToFixed(float f);
float BrTvFixedToFloat(br_fixed_ls x);
/* Whether a pair of this value type carries a pointer rather than a 32-bit datum. */
bool BrTvPointerValued(br_token type);
br_size_t BrTvEntryExtraSize(void *block, const br_tv_template_entry *tep);
br_error BrTvEntryQuery(br_value *pvalue, void **extra, br_size_t *extra_size, void *block,
                        const br_tv_template_entry *tep);

#endif
