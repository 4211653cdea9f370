/* The C interface of the IM directory's function-table library
 * (libSDKAPIC.so): the export VEXGetSDKA returns a table of functions, of
 * which the server uses the entries at positions 1, 2, 5, 8, 9, 13, 16 and 19
 * (and 6 to free what 5 made). The table's layout is fixed by position, so
 * unused positions are kept as reserved slots.
 *
 * Texts are UTF-8. Objects and property sets are owned by the library and
 * freed with entries 8 and 6. Every entry may be called from any thread;
 * one object or property set must be used by one thread at a time. */
#ifndef WARDEN_DIRECTORY_SDKAPI_H
#define WARDEN_DIRECTORY_SDKAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VEXSDK_LIBRARY_FILE "libSDKAPIC.so"
#define VEXSDK_EXPORT_NAME "VEXGetSDKA"
#define VEXSDK_TABLE_VERSION 1

/* Object kind of entry 2 that places departments among their siblings. */
#define VEXSDK_OBJECT_DEPTMANAGER "DEPTMANAGER"
/* Port of the directory's department service (entry 16). */
#define VEXSDK_DEPT_SERVICE_PORT 6000

/* Command of entry 19 on a DEPTMANAGER: update the department named by the
 * property DEPTID. Properties: DEPTID (required), SortID (required): the
 * department goes after every sibling whose SortID is at most this value and
 * before every sibling whose SortID is greater, then the siblings are
 * renumbered 10, 20, 30...; NAME and PDEPTID (optional): the department's
 * current name and parent, checked so that a department renamed or moved
 * since it was looked up is not misplaced; INFO (accepted, not kept);
 * INSTALLDIR (optional): the directory's install folder, whose database
 * db/vexdb.db is updated; without it the environment variable VEX_INSTALLDIR
 * names the folder.
 * Outputs: out1 = departments whose SortID changed (this one included), out2 = the
 * department's new SortID, out3 = on failure, a text variant with the reason
 * (valid until the object is released). */
#define VEXSDK_CMD_UPDATE_DEPT 259

/* Status of entry 19: 0 or more is success. */
#define VEXSDK_OK 0
#define VEXSDK_E_ARGUMENT (-1)     /* missing or malformed property, null pointer */
#define VEXSDK_E_NO_DIRECTORY (-2) /* install folder unknown or database missing */
#define VEXSDK_E_NOT_FOUND (-3)    /* no department with that DEPTID */
#define VEXSDK_E_CONFLICT (-4)     /* NAME or PDEPTID differ from the department's */
#define VEXSDK_E_DATABASE (-5)     /* the database refused (busy, damaged...) */
#define VEXSDK_E_COMMAND (-6)      /* unknown command for this object */

typedef struct VexSdkObject VexSdkObject;
typedef struct VexSdkPropertySet VexSdkPropertySet;

#define VEXSDK_VT_EMPTY 0
#define VEXSDK_VT_INT 3
#define VEXSDK_VT_TEXT 8

typedef struct VexSdkVariant {
    int32_t type;     /* VEXSDK_VT_... */
    int64_t number;   /* VEXSDK_VT_INT */
    const char* text; /* VEXSDK_VT_TEXT: UTF-8, NUL-terminated */
} VexSdkVariant;

typedef struct VexSdkApi {
    /* 0 */ int32_t (*GetVersion)(void);
    /* 1 */ int32_t (*Initialize)(void* buffer, int32_t size, int32_t flags);
    /* 2 */ VexSdkObject* (*CreateObject)(const char* kind); /* NULL for an unknown kind */
    /* 3 */ void* reserved3;
    /* 4 */ void* reserved4;
    /* 5 */ VexSdkPropertySet* (*CreatePropertySet)(void);
    /* 6 */ void (*ReleasePropertySet)(VexSdkPropertySet* set);
    /* 7 */ void* reserved7;
    /* 8 */ void (*ReleaseObject)(VexSdkObject* object);
    /* 9 */ int32_t (*SetProperty)(VexSdkPropertySet* set, const VexSdkVariant* key,
                                   const VexSdkVariant* value);
    /* 10 */ void* reserved10;
    /* 11 */ void* reserved11;
    /* 12 */ void* reserved12;
    /* 13 */ int32_t (*SetServerAddress)(VexSdkObject* object, const char* address);
    /* 14 */ void* reserved14;
    /* 15 */ void* reserved15;
    /* 16 */ int32_t (*SetServerPort)(VexSdkObject* object, int32_t port);
    /* 17 */ void* reserved17;
    /* 18 */ void* reserved18;
    /* 19 */ int32_t (*Execute)(VexSdkObject* object, VexSdkPropertySet* properties,
                                int32_t command, int32_t* out1, int32_t* out2, VexSdkVariant* out3);
} VexSdkApi;

typedef const VexSdkApi* (*VexGetSdkAFunction)(void);

const VexSdkApi* VEXGetSDKA(void);

#ifdef __cplusplus
}  // extern "C"

static_assert(offsetof(VexSdkApi, Initialize) == 1 * sizeof(void*));
static_assert(offsetof(VexSdkApi, CreateObject) == 2 * sizeof(void*));
static_assert(offsetof(VexSdkApi, CreatePropertySet) == 5 * sizeof(void*));
static_assert(offsetof(VexSdkApi, ReleaseObject) == 8 * sizeof(void*));
static_assert(offsetof(VexSdkApi, SetProperty) == 9 * sizeof(void*));
static_assert(offsetof(VexSdkApi, SetServerAddress) == 13 * sizeof(void*));
static_assert(offsetof(VexSdkApi, SetServerPort) == 16 * sizeof(void*));
static_assert(offsetof(VexSdkApi, Execute) == 19 * sizeof(void*));
#endif

#endif /* WARDEN_DIRECTORY_SDKAPI_H */
