// Pieces shared by the model, actor and material datafile layers: the datafile stack entry types
// they use, typed access to the stack, the load and count loops, and the save open and close.
#ifndef BRONDEL_DBFILE_H
#define BRONDEL_DBFILE_H

#include <type_traits>
#include <vector>

#include <brondel/brcore.h>
#include <brondel/brdatafile.h>
#include <brondel/brdbfile.h>

#include "db/dbstate.h"

// Datafile stack entry types of the database's objects.
enum {
    DFS_MATERIAL = 3,
    DFS_ACTOR = 4,
    DFS_MATERIAL_INDEX = 5, // array of material pointers, count = entries
    DFS_VERTICES = 6,
    DFS_FACES = 7,
    DFS_MODEL = 8,
    DFS_TRANSFORM = 16,
    DFS_LIGHT = 17,
    DFS_CAMERA = 18,
    DFS_BOUNDS = 19,
    DFS_PLANE = 20,
};

// What handlers answer to stop the chunk loop: the end of one item, or a refused file.
constexpr int DFH_END = 1;
constexpr int DFH_REFUSED = -1;

// The top entry when it is of the wanted type, else a report and null; nothing is popped either
// way, so a malformed file never hands one kind of record to code that expects another.
void *DbfTop(int type, const char *who);
// As DbfTop, then popped.
void *DbfPop(int type, const char *who);

// Pushes a new object; when the stack is full it is freed and the chunk refused.
int DbfPush(int type, void *value, int count);

// Frees an object of the given stack type that no item took.
void DbfEntryFree(int type, void *value);

// Loads up to num items of the family (stack type) with the chunk table; answers how many.
br_uint_32 DbfLoadMany(const char *filename, const DfChunkTable *table, int type, void **items, br_uint_16 num);
// Counts the items of the family in the file, freeing each.
br_error DbfFileCount(const char *filename, const DfChunkTable *table, int type, br_uint_16 *num);

// Opens a file for writing with its file-info chunk; null when it cannot be opened.
br_datafile *DbfSaveOpen(const char *filename, br_uint_32 file_type);
// Closes a saved file; false when what was written did not all reach it.
bool DbfSaveClose(br_datafile *df);

// The items handed in (nulls left out); with no array, every item the registry enumerates (none
// without a registry).
template <class T, class Enum> std::vector<T *> DbfItems(T **items, br_uint_16 num, Enum enumerate)
{
    std::vector<T *> all;
    if (items == nullptr) {
        if constexpr (!std::is_same_v<Enum, std::nullptr_t>)
            enumerate(nullptr, [](T *item, void *arg) -> br_uint_32 {
                ((std::vector<T *> *)arg)->push_back(item);
                return 0;
            }, &all);
        return all;
    }
    for (br_uint_16 i = 0; i < num; i++)
        if (items[i] != nullptr)
            all.push_back(items[i]);
    return all;
}

// Writes the items into one file, each by write (which ends it); answers how many reached the file.
template <class T, class Write>
br_uint_32 DbfSaveItems(const char *filename, br_uint_32 file_type, const std::vector<T *> &items, Write write)
{
    if (items.empty())
        return 0;
    br_datafile *df = DbfSaveOpen(filename, file_type);
    if (df == nullptr)
        return 0;
    for (T *item : items)
        write(df, item);
    return DbfSaveClose(df) ? (br_uint_32)items.size() : 0;
}

// A chunk holding one name.
void DbfNameChunkWrite(br_datafile *df, br_uint_32 id, const char *name);
// A chunk of count records of one template, stride bytes apart in memory.
void DbfArrayChunkWrite(br_datafile *df, br_uint_32 id, const DfStructTemplate *str, void *base, br_uint_32 count);
// Reads count records into base (template's stride); false when the file ended first. Refuses,
// with a report, a count that the chunk cannot hold or above the 16-bit counts of a model.
bool DbfCountCheck(br_datafile *df, const DfStructTemplate *str, br_uint_32 count, const char *who);

#endif
