// A small native driver for the device tests: devices holding named facilities, made by entries
// registered as built-in images the way the real drivers are. Devices live on the heap, so the
// sanitizer catches one freed twice.
#pragma once

#include <string>
#include <vector>

#include "brondel/brcore.h"
#include "brondel/brdevice.h"

struct TestObject {
    const br_object_container_dispatch *dispatch;
    std::string name;
    br_token type;
    std::vector<TestObject *> children;   // what find answers
    br_object *renderer_facility = nullptr; // answered to RENDERER_FACILITY_O
    br_object *output_facility = nullptr;   // answered to OUTPUT_FACILITY_O
};

struct TestDriver {
    // Every begin call, with its argument string ("<null>" for none), in order.
    static std::vector<std::string> begun;
    static int frees;
    // The pixel-map lists output facilities were asked to create a screen with.
    static std::vector<std::vector<br_token_value>> created;
    static void clear()
    {
        begun.clear();
        frees = 0;
        created.clear();
    }
};

// A device named `name` with the given contained facilities (name, type); ownership stays with
// the device, freed by its free operation.
TestObject *test_device_new(const std::string &name, std::vector<std::pair<std::string, br_token>> facilities);
// A plain object (a destination) with the two facility links set.
TestObject *test_object_new(const std::string &name, br_object *renderer_facility, br_object *output_facility);
void test_object_delete(TestObject *o);

// Built-in images, each exporting "_BrDrv1Begin", that make a device as the real drivers would:
//  "softrndf": device "softrndf" with "Default-Renderer-Float";
//  "softrend": device "softrend" with "Default-Renderer";
//  "a", "b": devices "a", "b" with nothing;
//  "nobegin": an image without an entry.
void test_driver_images_add();
