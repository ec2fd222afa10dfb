// System configuration: an association array of token and value, filled at begin from the registry,
// "Brondel.ini" and the environment, and open to callers afterwards.
#include <string.h>
#include <strings.h>

#include <vector>

#include "fwstate.h"
#include "sysconf.h"
#include "win32/winreg.h"

namespace {

#define CONFIG_ROOT "SOFTWARE\\Corvane\\Brondel"
#define CONFIG_INI "Brondel.ini"
#define CONFIG_SECTION "Brondel"
#define CONFIG_DEFAULT_DEVICE "DDRAW"
#define CONFIG_DEFAULT_PATH "dat;../dat;../../dat;../../../dat;../../../../dat"

const int version_major = 1, version_minor = 3, version_patch = 0;

// Registry and profile values are at most this long, terminator included.
const DWORD value_size = 256;
const br_uint_16 assoc_step = 10;
// The array's own record and its entries share this class.
const br_uint_8 assoc_class = BR_MEMORY_SCRATCH;

struct assoc_entry {
    br_token t;
    void *v;
};

struct assoc_array {
    assoc_entry *entries;
    br_uint_16 count;
    br_uint_16 capacity;
};

const br_token config_tokens[] = {BRT_BRONDEL_PATH_STR, BRT_BRONDEL_DRIVERS_STR, BRT_DEFAULT_DEVICE_STR,
                                  BRT_BRONDEL_DEVICES_STR};

bool is_config_token(br_token t)
{
    for (br_token c : config_tokens)
        if (c == t)
            return true;
    return false;
}

// The array keeps its own copy of a string value; any other value is kept as given.
bool is_string_token(br_token t)
{
    return BrTokenType(t) == BRT_STRING;
}

assoc_array *assoc_allocate(void)
{
    assoc_array *a = (assoc_array *)BrResAllocate(br_fw.res, sizeof(assoc_array), assoc_class);
    if (a == nullptr)
        return nullptr;
    a->entries = (assoc_entry *)BrResAllocate(a, sizeof(assoc_entry) * assoc_step, assoc_class);
    if (a->entries == nullptr) {
        BrResFree(a);
        return nullptr;
    }
    a->count = 0;
    a->capacity = assoc_step;
    return a;
}

assoc_entry *assoc_find(assoc_array *a, br_token t)
{
    for (int i = 0; i < a->count; i++)
        if (a->entries[i].t == t)
            return &a->entries[i];
    return nullptr;
}

br_error assoc_set(assoc_array *a, br_token t, void *value)
{
    void *stored = value;
    if (is_string_token(t) && value != nullptr) {
        stored = BrResStrDup(a, (const char *)value);
        if (stored == nullptr)
            return BRE_FAIL;
    }

    if (assoc_entry *e = assoc_find(a, t)) {
        if (is_string_token(t) && e->v != nullptr)
            BrResFree(e->v);
        e->v = stored;
        return BRE_OK;
    }

    if (a->count == a->capacity) {
        if (a->capacity > 0xffff - assoc_step)
            return BRE_FAIL;
        br_uint_16 capacity = a->capacity + assoc_step;
        assoc_entry *grown = (assoc_entry *)BrResAllocate(a, sizeof(assoc_entry) * capacity, assoc_class);
        if (grown == nullptr) {
            if (stored != value)
                BrResFree(stored);
            return BRE_FAIL;
        }
        memcpy(grown, a->entries, sizeof(assoc_entry) * a->count);
        BrResFree(a->entries);
        a->entries = grown;
        a->capacity = capacity;
    }
    a->entries[a->count].t = t;
    a->entries[a->count].v = stored;
    a->count++;
    return BRE_OK;
}

br_error assoc_query(assoc_array *a, br_token t, void **value)
{
    assoc_entry *e = assoc_find(a, t);
    if (e == nullptr)
        return BRE_FAIL;
    *value = e->v;
    return BRE_OK;
}

assoc_array *config(void)
{
    return (assoc_array *)br_fw.sys_config;
}

// Reads a string value of a registry key into buf (value_size bytes), always terminated. The begin
// reads its sources silently; an explicit load reports a value that is not a string.
br_error registry_read(HKEY root, const char *key, const char *name, char *buf, bool report)
{
    HKEY k;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return BRE_FAIL;
    DWORD type = REG_NONE;
    DWORD size = value_size - 1;
    LSTATUS r = RegQueryValueExA(k, name, nullptr, &type, (LPBYTE)buf, &size);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS)
        return BRE_FAIL;
    if (type != REG_SZ) {
        if (report)
            BrFailure("Registry entry type is not a string");
        return BRE_FAIL;
    }
    buf[size < value_size ? size : value_size - 1] = '\0';
    return BRE_OK;
}

// A profile value; empty counts as absent.
bool profile_read(const char *file, const char *section, const char *name, char *buf)
{
    return GetPrivateProfileStringA(section, name, "", buf, value_size, file) > 0 && buf[0] != '\0';
}

// One source chain of the begin: a readable registry value wins even when empty, then a non-empty
// profile value, then the environment variable when it exists. No value leaves the token alone.
void begin_chain(const char *key, br_token t, const char *name)
{
    char buf[value_size];
    if (registry_read(HKEY_LOCAL_MACHINE, key, name, buf, false) == BRE_OK ||
        profile_read(CONFIG_INI, CONFIG_SECTION, name, buf)) {
        assoc_set(config(), t, buf);
        return;
    }
    if (const char *env = BrGetEnv(name))
        assoc_set(config(), t, (void *)env);
}

bool has_text(br_token t)
{
    const char *v = BrFwSystemConfigValue(t);
    return v != nullptr && v[0] != '\0';
}

// The values an explicit load reads, in order.
struct load_item {
    const char *name;
    br_token t;
};

const load_item load_items[] = {
    {"BRONDEL_PATH", BRT_BRONDEL_PATH_STR},       {"BRONDEL_DRIVERS", BRT_BRONDEL_DRIVERS_STR},
    {"BRONDEL_DEVICES", BRT_BRONDEL_DEVICES_STR}, {"BRONDEL_DOS_GFX", BRT_DEFAULT_DEVICE_STR},
    {"BR_DEFAULT_DEVICE", BRT_DEFAULT_DEVICE_STR},
};

br_error load_registry(const char *key, HKEY root)
{
    char buf[value_size];
    for (const load_item &item : load_items) {
        if (registry_read(root ? root : HKEY_LOCAL_MACHINE, key, item.name, buf, true) != BRE_OK)
            return BRE_FAIL;
        assoc_set(config(), item.t, buf);
    }
    return BRE_OK;
}

// Whether the profile file has the section, entries or not: its name is among the file's sections.
bool ini_has_section(const char *file, const char *section)
{
    std::vector<char> names(4096);
    for (;;) {
        DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", names.data(), (DWORD)names.size(), file);
        if (n + 2 < names.size() || names.size() >= (1u << 20))
            break;
        names.resize(names.size() * 2); // the list was cut: ask again with more room
    }
    for (const char *p = names.data(); *p != '\0'; p += strlen(p) + 1)
        if (strcasecmp(p, section) == 0)
            return true;
    return false;
}

br_error load_ini(const char *file, const char *section)
{
    char buf[value_size];
    if (section == nullptr || !ini_has_section(file, section))
        return BRE_FAIL;
    for (const load_item &item : load_items)
        if (profile_read(file, section, item.name, buf))
            assoc_set(config(), item.t, buf);
    return BRE_OK;
}

} // namespace

const char *BrFwSystemConfigValue(br_token t)
{
    void *v;
    if (config() == nullptr || assoc_query(config(), t, &v) != BRE_OK)
        return nullptr;
    return (const char *)v;
}

br_error BrSystemConfigBegin(void)
{
    br_fw.sys_config = assoc_allocate();
    if (br_fw.sys_config == nullptr) {
        BrFailure("System config associative array allocate failed.\n");
        return BRE_FAIL;
    }

    char key[128];
    BrSprintfN(key, sizeof(key), "%s\\%d.%d.%d", CONFIG_ROOT, version_major, version_minor, version_patch);

    begin_chain(key, BRT_BRONDEL_PATH_STR, "BRONDEL_PATH");
    begin_chain(key, BRT_BRONDEL_DRIVERS_STR, "BRONDEL_DRIVERS");
    begin_chain(key, BRT_BRONDEL_DRIVERS_STR, "BR_DRIVERS");
    begin_chain(key, BRT_BRONDEL_DEVICES_STR, "BRONDEL_DEVICES");
    begin_chain(key, BRT_BRONDEL_DEVICES_STR, "BR_DEVICES");
    begin_chain(key, BRT_DEFAULT_DEVICE_STR, "BRONDEL_DOS_GFX");
    begin_chain(key, BRT_DEFAULT_DEVICE_STR, "BRONDEL_DEFAULT_DEVICE");
    begin_chain(key, BRT_DEFAULT_DEVICE_STR, "BR_DEFAULT_DEVICE");

    if (!has_text(BRT_DEFAULT_DEVICE_STR))
        assoc_set(config(), BRT_DEFAULT_DEVICE_STR, (void *)CONFIG_DEFAULT_DEVICE);
    if (!has_text(BRT_BRONDEL_PATH_STR))
        assoc_set(config(), BRT_BRONDEL_PATH_STR, (void *)CONFIG_DEFAULT_PATH);
    return BRE_OK;
}

br_error BrFwSystemConfigBegin(void)
{
    return BrSystemConfigBegin();
}

br_error BrSystemConfigSetString(br_token t, const char *string)
{
    if (!is_config_token(t)) {
        BrFailure("Not a valid system configuration token.\n");
        return BRE_FAIL;
    }
    if (config() == nullptr)
        return BRE_FAIL;
    return assoc_set(config(), t, (void *)string);
}

br_error BrSystemConfigQueryString(br_token t, char *string, br_size_t size)
{
    if (string != nullptr && size > 0)
        string[0] = '\0';
    if (!is_config_token(t)) {
        BrFailure("Not a valid system configuration token.\n");
        return BRE_FAIL;
    }
    const char *v = BrFwSystemConfigValue(t);
    if (v == nullptr || string == nullptr || size == 0)
        return BRE_FAIL;
    BrStrNCpy(string, v, size - 1);
    string[size - 1] = '\0';
    return BRE_OK;
}

br_error BrSystemConfigLoad(br_token t, const char *name, void *arg)
{
    if (t != BRT_REGISTRY_STR && t != BRT_INI_STR) {
        BrFailure("Invalid system config load token. Must be REGISTRY or INI");
        return BRE_FAIL;
    }
    if (config() == nullptr || name == nullptr)
        return BRE_FAIL;
    if (t == BRT_REGISTRY_STR)
        return load_registry(name, (HKEY)arg);
    return load_ini(name, (const char *)arg);
}
