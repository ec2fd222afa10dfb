// The export tables "BRCORE1" and "BRPMAP1": the functions drivers may import from this core, each
// under its link-level name (a leading underscore). The tables are laid out in byte order of the
// names when they are made, which fixes every ordinal; the groups below are only for reading.
//
// "BRCORE1" holds the 185 functions a driver calls inside a begun core: memory and resources, lists,
// registries, scratch and sorting, name patterns, diagnostics, last error, exceptions, print and
// scan, swaps, the string and character functions, the lexer and parsers, images, tokens, token
// values and templates, objects and containers, files, devices and facility finds. What belongs to
// the program that carries the core stays out: framework and core begin and end, the system
// configuration, the three host-record setters, resource-class registration (each library registers
// its own classes at its begin), the program's single screen (the old device calls and the last-begun
// screen) and the static registry calls, which do nothing.
#include "brondel/brdevice.h"
#include "brondel/brfile.h"

#include "fwstate.h"
#include "images.h"

#define EXPORT(f) {"_" #f, (void *)f}

static const br_image_export core_exports[] = {
    // Memory and resources.
    EXPORT(BrMemAllocate),
    EXPORT(BrMemCalloc),
    EXPORT(BrMemStrDup),
    EXPORT(BrMemFree),
    EXPORT(BrMemInquire),
    EXPORT(BrMemAlign),
    EXPORT(BrResAllocate),
    EXPORT(BrResFree),
    EXPORT(BrResFreeNoCallback),
    EXPORT(BrResAdd),
    EXPORT(BrResRemove),
    EXPORT(BrResClass),
    EXPORT(BrResIsChild),
    EXPORT(BrResSize),
    EXPORT(BrResSizeTotal),
    EXPORT(BrResChildEnum),
    EXPORT(BrResCheck),
    EXPORT(BrResStrDup),
    EXPORT(BrResDump),

    // Lists, registries, name patterns, scratch and sorting.
    EXPORT(BrNamePatternMatch),
    EXPORT(BrNewList),
    EXPORT(BrAddHead),
    EXPORT(BrAddTail),
    EXPORT(BrRemHead),
    EXPORT(BrRemTail),
    EXPORT(BrInsert),
    EXPORT(BrRemove),
    EXPORT(BrSimpleNewList),
    EXPORT(BrSimpleAddHead),
    EXPORT(BrSimpleRemHead),
    EXPORT(BrSimpleInsert),
    EXPORT(BrSimpleRemove),
    EXPORT(BrRegistryNew),
    EXPORT(BrRegistryClear),
    EXPORT(BrRegistryAdd),
    EXPORT(BrRegistryAddMany),
    EXPORT(BrRegistryRemove),
    EXPORT(BrRegistryRemoveMany),
    EXPORT(BrRegistryFind),
    EXPORT(BrRegistryFindMany),
    EXPORT(BrRegistryCount),
    EXPORT(BrRegistryEnum),
    EXPORT(BrScratchAllocate),
    EXPORT(BrScratchFree),
    EXPORT(BrScratchFlush),
    EXPORT(BrScratchInquire),
    EXPORT(BrScratchString),
    EXPORT(BrScratchStringSize),
    EXPORT(BrQsort),

    // Diagnostics, last error and exceptions.
    EXPORT(BrFailure),
    EXPORT(BrWarning),
    EXPORT(BrFatal),
    EXPORT(_BrAssert),
    EXPORT(_BrUAssert),
    EXPORT(BrAbort),
    EXPORT(BrLastErrorSet),
    EXPORT(BrLastErrorGet),
    EXPORT(_BrExceptionBegin),
    EXPORT(_BrExceptionEnd),
    EXPORT(_BrExceptionThrow),
    EXPORT(_BrExceptionValueFetch),
    EXPORT(_BrExceptionResource),

    // Print and scan, swaps, the string and character functions.
    EXPORT(BrSprintf),
    EXPORT(BrSprintfN),
    EXPORT(BrVSprintf),
    EXPORT(BrVSprintfN),
    EXPORT(BrSScanf),
    EXPORT(BrVSScanf),
    EXPORT(BrLogPrintf),
    EXPORT(BrSwap32),
    EXPORT(BrSwap16),
    EXPORT(BrSwapFloat),
    EXPORT(BrSwapBlock),
    EXPORT(BrMemCmp),
    EXPORT(BrMemCpy),
    EXPORT(BrMemSet),
    EXPORT(BrStrCat),
    EXPORT(BrStrCmp),
    EXPORT(BrStrICmp),
    EXPORT(BrStrCpy),
    EXPORT(BrStrLen),
    EXPORT(BrStrNCmp),
    EXPORT(BrStrNICmp),
    EXPORT(BrStrNCpy),
    EXPORT(BrStrRChr),
    EXPORT(BrGetEnv),
    EXPORT(BrStrToF),
    EXPORT(BrStrToD),
    EXPORT(BrStrToL),
    EXPORT(BrStrToUL),
    EXPORT(BrIsAlpha),
    EXPORT(BrIsDigit),
    EXPORT(BrIsSpace),
    EXPORT(BrIsPrint),
    EXPORT(BrFloatSqrt),

    // Lexer and parsers.
    EXPORT(BrLexerAllocate),
    EXPORT(BrLexerFree),
    EXPORT(BrLexerCommentSet),
    EXPORT(BrLexerDumpSet),
    EXPORT(BrLexerErrorSet),
    EXPORT(BrLexerPushFile),
    EXPORT(BrLexerPushString),
    EXPORT(BrLexerPop),
    EXPORT(BrLexerPosition),
    EXPORT(BrLexerTokenError),
    EXPORT(BrParseInteger),
    EXPORT(BrParseFixed),
    EXPORT(BrParseFloat),
    EXPORT(BrParseVectorFixed),
    EXPORT(BrParseVectorFloat),
    EXPORT(BrParseMatrixFixed),
    EXPORT(BrParseMatrixFloat),

    // Tokens, token values and templates.
    EXPORT(BrTokenCreate),
    EXPORT(BrTokenIdentifier),
    EXPORT(BrTokenType),
    EXPORT(BrTokenFind),
    EXPORT(BrTokenFindMany),
    EXPORT(BrTokenCount),
    EXPORT(BrTokenFindBase),
    EXPORT(BrTokenValueQuery),
    EXPORT(BrTokenValueQueryMany),
    EXPORT(BrTokenValueQueryManySize),
    EXPORT(BrTokenValueQueryAll),
    EXPORT(BrTokenValueQueryAllSize),
    EXPORT(BrTokenValueSet),
    EXPORT(BrTokenValueSetMany),
    EXPORT(BrTokenValueCompare),
    EXPORT(BrTokenValueDump),
    EXPORT(BrStringToTokenValue),
    EXPORT(BrTVTemplateAllocate),
    EXPORT(BrTVTemplateFree),

    // Objects and containers; the empty prologue and epilogue, one function under two names.
    EXPORT(_M_br_object_query),
    EXPORT(_M_br_object_queryBuffer),
    EXPORT(_M_br_object_queryMany),
    EXPORT(_M_br_object_queryManySize),
    EXPORT(_M_br_object_queryAll),
    EXPORT(_M_br_object_queryAllSize),
    EXPORT(_M_br_object_container_tokensMatchBegin),
    EXPORT(_M_br_object_container_tokensMatch),
    EXPORT(_M_br_object_container_tokensMatchEnd),
    EXPORT(_M_br_object_container_addFront),
    EXPORT(_M_br_object_container_removeFront),
    EXPORT(_M_br_object_container_remove),
    EXPORT(_M_br_object_container_find),
    EXPORT(_M_br_object_container_findMany),
    EXPORT(_M_br_object_container_count),
    EXPORT(BrObjectListAllocate),
    EXPORT(BrObjectContainerFree),
    {"__PRO", (void *)_PRO},
    {"__EPI", (void *)_PRO},

    // Files.
    EXPORT(BrFileOpenRead),
    EXPORT(BrFileOpenWrite),
    EXPORT(BrFileClose),
    EXPORT(BrFileAttributes),
    EXPORT(BrFileEof),
    EXPORT(BrFileGetChar),
    EXPORT(BrFilePutChar),
    EXPORT(BrFileRead),
    EXPORT(BrFileWrite),
    EXPORT(BrFileGetLine),
    EXPORT(BrFilePutLine),
    EXPORT(BrFileAdvance),
    EXPORT(BrFilePrintf),

    // Devices and facility finds.
    EXPORT(BrDevAdd),
    EXPORT(BrDevAddStatic),
    EXPORT(BrDevCheckAdd),
    EXPORT(BrDevRemove),
    EXPORT(BrDevFind),
    EXPORT(BrDevFindMany),
    EXPORT(BrDevCount),
    EXPORT(BrDevContainedFind),
    EXPORT(BrDevContainedFindMany),
    EXPORT(BrDevContainedCount),
    EXPORT(BrDevBegin),
    EXPORT(BrDevBeginVar),
    EXPORT(BrRendererFacilityFind),
    EXPORT(BrPrimitiveLibraryFind),
    EXPORT(BrGeometryFormatFind),

    // Images.
    EXPORT(BrImageAdd),
    EXPORT(BrImageRemove),
    EXPORT(BrImageFind),
    EXPORT(BrImageReference),
    EXPORT(BrImageLookupName),
    EXPORT(BrImageLookupOrdinal),
    EXPORT(BrImageDereference),
};

#define CORE_N (sizeof(core_exports) / sizeof(core_exports[0]))

static const char *core_names[CORE_N];
static void *core_functions[CORE_N];
static br_uint_16 core_ordinals[CORE_N];
static br_image core_image;

void BrFwCoreImageAdd(void)
{
    if (BrImageResidentMake(&core_image, "BRCORE1", core_exports, CORE_N, core_names, core_functions, core_ordinals))
        BrImageAdd(&core_image);
}

void BrFwCoreImageRemove(void)
{
    if (core_image.node.next != nullptr)
        BrImageRemove(&core_image);
}

// "BRPMAP1": the pixel-map library's clipping functions and the generic, memory and null methods
// of its classes, added by its begin.
#include "brondel/brpixmap.h"

static const br_image_export pmap_exports[] = {
    // Clipping.
    EXPORT(PixelmapCopyBitsClip),
    EXPORT(PixelmapLineClip),
    EXPORT(PixelmapPointClip),
    EXPORT(PixelmapRectangleClip),
    EXPORT(PixelmapRectangleClipTwo),
    // Generic methods.
    EXPORT(_M_br_device_pixelmap_gen_copy),
    EXPORT(_M_br_device_pixelmap_gen_copyBits),
    EXPORT(_M_br_device_pixelmap_gen_copyDirty),
    EXPORT(_M_br_device_pixelmap_gen_copyFrom),
    EXPORT(_M_br_device_pixelmap_gen_copyFromDirty),
    EXPORT(_M_br_device_pixelmap_gen_copyTo),
    EXPORT(_M_br_device_pixelmap_gen_copyToDirty),
    EXPORT(_M_br_device_pixelmap_gen_directLock),
    EXPORT(_M_br_device_pixelmap_gen_directUnlock),
    EXPORT(_M_br_device_pixelmap_gen_doubleBuffer),
    EXPORT(_M_br_device_pixelmap_gen_doubleBufferDirty),
    EXPORT(_M_br_device_pixelmap_gen_fill),
    EXPORT(_M_br_device_pixelmap_gen_fillDirty),
    EXPORT(_M_br_device_pixelmap_gen_flush),
    EXPORT(_M_br_device_pixelmap_gen_line),
    EXPORT(_M_br_device_pixelmap_gen_rectangle),
    EXPORT(_M_br_device_pixelmap_gen_rectangle2),
    EXPORT(_M_br_device_pixelmap_gen_synchronise),
    EXPORT(_M_br_device_pixelmap_gen_text),
    EXPORT(_M_br_device_pixelmap_gen_textBounds),
    // Memory methods.
    EXPORT(_M_br_device_pixelmap_mem_allocateSub),
    EXPORT(_M_br_device_pixelmap_mem_copyBits),
    EXPORT(_M_br_device_pixelmap_mem_copyDirty),
    EXPORT(_M_br_device_pixelmap_mem_copyFrom),
    EXPORT(_M_br_device_pixelmap_mem_copyFromDirty),
    EXPORT(_M_br_device_pixelmap_mem_copyTo),
    EXPORT(_M_br_device_pixelmap_mem_copyToDirty),
    EXPORT(_M_br_device_pixelmap_mem_directLock),
    EXPORT(_M_br_device_pixelmap_mem_directUnlock),
    EXPORT(_M_br_device_pixelmap_mem_doubleBuffer),
    EXPORT(_M_br_device_pixelmap_mem_doubleBufferDirty),
    EXPORT(_M_br_device_pixelmap_mem_fill),
    EXPORT(_M_br_device_pixelmap_mem_fillDirty),
    EXPORT(_M_br_device_pixelmap_mem_flush),
    EXPORT(_M_br_device_pixelmap_mem_line),
    EXPORT(_M_br_device_pixelmap_mem_match),
    EXPORT(_M_br_device_pixelmap_mem_originSet),
    EXPORT(_M_br_device_pixelmap_mem_pixelAddressQuery),
    EXPORT(_M_br_device_pixelmap_mem_pixelAddressSet),
    EXPORT(_M_br_device_pixelmap_mem_pixelQuery),
    EXPORT(_M_br_device_pixelmap_mem_pixelSet),
    EXPORT(_M_br_device_pixelmap_mem_rectangleCopyFrom),
    EXPORT(_M_br_device_pixelmap_mem_rectangleCopyTo),
    EXPORT(_M_br_device_pixelmap_mem_rectangleFill),
    EXPORT(_M_br_device_pixelmap_mem_rectangleStretchCopyFrom),
    EXPORT(_M_br_device_pixelmap_mem_rectangleStretchCopyTo),
    EXPORT(_M_br_device_pixelmap_mem_resize),
    EXPORT(_M_br_device_pixelmap_mem_rowQuery),
    EXPORT(_M_br_device_pixelmap_mem_rowSet),
    EXPORT(_M_br_device_pixelmap_mem_rowSize),
    EXPORT(_M_br_device_pixelmap_mem_synchronise),
    EXPORT(_M_br_device_pixelmap_mem_validSource),
    // Null methods.
    EXPORT(_M_br_device_pixelmap_null_copyBits),
    EXPORT(_M_br_device_pixelmap_null_copyDirty),
    EXPORT(_M_br_device_pixelmap_null_copyFrom),
    EXPORT(_M_br_device_pixelmap_null_copyFromDirty),
    EXPORT(_M_br_device_pixelmap_null_copyTo),
    EXPORT(_M_br_device_pixelmap_null_copyToDirty),
    EXPORT(_M_br_device_pixelmap_null_doubleBuffer),
    EXPORT(_M_br_device_pixelmap_null_doubleBufferDirty),
    EXPORT(_M_br_device_pixelmap_null_fill),
    EXPORT(_M_br_device_pixelmap_null_fillDirty),
    EXPORT(_M_br_device_pixelmap_null_pixelAddressQuery),
    EXPORT(_M_br_device_pixelmap_null_pixelAddressSet),
    EXPORT(_M_br_device_pixelmap_null_pixelQuery),
    EXPORT(_M_br_device_pixelmap_null_pixelSet),
    EXPORT(_M_br_device_pixelmap_null_rectangleCopyFrom),
    EXPORT(_M_br_device_pixelmap_null_rectangleCopyTo),
    EXPORT(_M_br_device_pixelmap_null_rectangleFill),
    EXPORT(_M_br_device_pixelmap_null_rectangleStretchCopyFrom),
    EXPORT(_M_br_device_pixelmap_null_rectangleStretchCopyTo),
    EXPORT(_M_br_device_pixelmap_null_resize),
};
#define PMAP_N (sizeof(pmap_exports) / sizeof(pmap_exports[0]))

static const char *pmap_names[PMAP_N + 1];
static void *pmap_functions[PMAP_N + 1];
static br_uint_16 pmap_ordinals[PMAP_N + 1];
static br_image pmap_image;

void BrFwPmapImageAdd(void)
{
    if (BrImageResidentMake(&pmap_image, "BRPMAP1", pmap_exports, PMAP_N, pmap_names, pmap_functions, pmap_ordinals))
        BrImageAdd(&pmap_image);
}

void BrFwPmapImageRemove(void)
{
    if (pmap_image.node.next != nullptr)
        BrImageRemove(&pmap_image);
}
