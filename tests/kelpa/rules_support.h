// Headless rules fixtures: memory cubes, a host that records what the rules ask of it, and a small
// board maker.
#pragma once

#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "kelpa/kprules.h"

struct TestHost : KpSeededHost {
    std::vector<int> sounds;
    std::vector<std::string> messages;
    std::vector<std::vector<uint8_t>> rows, frames;
    std::map<std::string, std::vector<uint8_t>> files;
    std::string browseAnswer;
    std::vector<std::string> titles, failingSaves;
    int winAnimations = 0;
    void sound(int id) override { sounds.push_back(id); }
    void message(const char *text) override { messages.push_back(text); }
    void winAnimation(int) override { winAnimations++; }
    void wormRowWrite(const uint8_t row[5], bool) override { rows.emplace_back(row, row + 5); }
    void recordFrame(const uint8_t f[5], bool overwrite) override
    {
        if (overwrite && !frames.empty())
            frames.back().assign(f, f + 5);
        else
            frames.emplace_back(f, f + 5);
    }
    bool browse(int, const char *title, const char *, const char *, const char *, char *name, size_t size) override
    {
        titles.push_back(title);
        if (browseAnswer.empty())
            return false;
        snprintf(name, size, "%s", browseAnswer.c_str());
        return true;
    }
    bool readFile(const char *name, uint8_t *data, size_t capacity, size_t &size) override
    {
        auto it = files.find(name);
        if (it == files.end())
            return false;
        size = it->second.size() < capacity ? it->second.size() : capacity;
        memcpy(data, it->second.data(), size);
        return true;
    }
    bool saveFile(const char *name, const void *data, size_t size) override
    {
        for (const std::string &f : failingSaves)
            if (f == name)
                return false;
        files[name].assign(static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + size);
        return true;
    }
};

struct RulesFixture {
    KpMemoryCubes cubes;
    TestHost host;
    KpRules r;
    RulesFixture()
    {
        r.cubes = &cubes;
        r.host = &host;
        for (int i = 0; i < kKpGameCubes; i++) {
            r.queue[i].cube = i + 1;
            r.queue[i].x = r.queue[i].z = 5;
        }
        KpDefaultHeader(r.header);
    }
    // A board from 11 lines of 11 characters (x down, z across): . ? # E b g o r w y.
    void board(const char *const lines[11])
    {
        static const char kChars[] = ".?#Ebgorwy";
        for (int x = 0; x < 11; x++)
            for (int z = 0; z < 11; z++)
                r.board[x * 11 + z] = int32_t(strchr(kChars, lines[x][z]) - kChars);
    }
};
