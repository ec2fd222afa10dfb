/* Models, actor trees and materials in datafiles (binary or text, as DfWriteModeSet chose).
 * Loaded items are not added to the registries; the names of the materials, maps and tables they
 * refer to are looked up while reading, so those must be registered first. */
#ifndef BRONDEL_BRDBFILE_H
#define BRONDEL_BRDBFILE_H

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brmodel.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The first item of the file, or null. */
br_model *BrModelLoad(const char *filename);
br_uint_32 BrModelLoadMany(const char *filename, br_model **models, br_uint_16 num);
/* 1 when the model was written; 0 when it has no vertices or faces, or the file cannot be written. */
br_uint_32 BrModelSave(const char *filename, br_model *model);
/* models null: every registered model. Answers the number written. */
br_uint_32 BrModelSaveMany(const char *filename, br_model **models, br_uint_16 num);
/* 0 with the number of models in *num, or BRE_FAIL (num 0) when the file cannot be read. */
br_error BrModelFileCount(const char *filename, br_uint_16 *num);

br_actor *BrActorLoad(const char *filename);
br_uint_32 BrActorLoadMany(const char *filename, br_actor **actors, br_uint_16 num);
br_uint_32 BrActorSave(const char *filename, br_actor *actor);
br_uint_32 BrActorSaveMany(const char *filename, br_actor **actors, br_uint_16 num);
br_error BrActorFileCount(const char *filename, br_uint_16 *num);

br_material *BrMaterialLoad(const char *filename);
br_uint_32 BrMaterialLoadMany(const char *filename, br_material **materials, br_uint_16 num);
br_uint_32 BrMaterialSave(const char *filename, br_material *material);
/* materials null: every registered material. */
br_uint_32 BrMaterialSaveMany(const char *filename, br_material **materials, br_uint_16 num);
br_error BrMaterialFileCount(const char *filename, br_uint_16 *num);

#ifdef __cplusplus
}
#endif

#endif
