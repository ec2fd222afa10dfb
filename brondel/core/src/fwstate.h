/* Internal state of one instance of the core. Everything here is hidden inside the carrier. */
#ifndef BRONDEL_FWSTATE_H
#define BRONDEL_FWSTATE_H

#include "brondel/brcore.h"

/* One entry of the device table: a device and the image it came from. */
struct br_fw_device_slot {
    void *dev;
    void *image;
};

#define BR_FW_DEVICE_SLOTS 16

struct br_framework_state {
    br_boolean active;

    br_registry reg_resource_classes;
    br_resclass_find_cbfn *resource_class_find_hook;
    br_resource_class *resource_class_index[BR_MEMORY_MAX];

    br_list tokens;
    br_int_32 next_free_token;

    br_filesystem *fsys;
    br_allocator *mem;
    br_diaghandler *diag;

    int open_mode; /* the datafile word */

    void *res;

    void *scratch_ptr;
    br_size_t scratch_size;
    br_size_t scratch_last;
    int scratch_inuse;

    void *last_error_pointer;
    br_uint_32 last_error_value;

    br_list images;

    br_fw_device_slot *dev_slots;
    br_int_32 ndev_slots;
    br_int_32 ndevs;

    void *sys_config;

    br_boolean bAlreadyLoadedDrivers;

    /* The screen the device code began last (null when none, or once what it points to ended), and
     * the device that made it. */
    struct br_pixelmap *last_begin_screen;
    void *last_begin_device;

    /* Files the standard filesystem has open for writing, not yet in place, and whether the last one
     * closed went in place whole. */
    void *std_writes;
    br_boolean std_write_ok;
};

extern br_framework_state br_fw;

/* Standard host records. */
extern br_diaghandler BrStdioDiagHandler;
extern br_allocator BrStdlibAllocator;

/* Framework classes registered at begin. */
extern br_resource_class BrFwResourceClasses[];
extern const int BrFwResourceClassCount;

/* Hooks of the begin and end into the areas built on top of this foundation. */
br_filesystem *BrFwStdFilesystem(void); /* "Standard IO", or null while there is none */
/* Whether the raw handle is a file the standard filesystem has open for writing; with keep clear its
 * close abandons it. Its close leaves in std_write_ok whether the file went in place whole. */
br_boolean BrFwStdFileWriting(void *raw, br_boolean keep);
void BrFwTokensBegin(void);
br_error BrFwSystemConfigBegin(void);
void BrFwCoreImageAdd(void);
void BrFwCoreImageRemove(void);
void BrFwHostBegin(void);
void BrFwHostEnd(void);
br_error BrFwPixelmapBegin(void);
void BrFwPixelmapEnd(void);
/* The first device of the table, or null; and its removal. */
void *BrFwDevFirst(void);
void BrFwDevRemove(void *dev);
/* Free callbacks of the file, image and object classes. */
void BrFwFileFree(void *res, br_uint_8 res_class, br_size_t size);
void BrFwImageFree(void *res, br_uint_8 res_class, br_size_t size);
void BrFwObjectFree(void *res, br_uint_8 res_class, br_size_t size);
/* Closes a file handle; for one open for writing, answers whether every byte written reached the
 * file under its name. With keep clear a written file is abandoned: with the standard filesystem the
 * old file stays as it was. */
br_boolean BrFwFileCloseWritten(void *f, br_boolean keep);
/* File input of the lexer: open for reading in text mode, read a byte (-1 at the end). */
void *BrFwFileOpenText(const char *name);
int BrFwFileGetChar(void *file);

#endif
