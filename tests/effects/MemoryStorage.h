#pragma once
// Named texts served as storage files, listed in name order.
#include <map>
#include <string>

#include "Storage.h"

class MemoryStorage : public Storage::IStorage
{
public:
    std::map<std::string, std::string> files;

    Storage::IStorageFile* Open(const std::string& name) override
    {
        auto it = files.find(name);
        if (it == files.end())
            return nullptr;
        return new Storage::CMemoryFile(it->second.data(), static_cast<uint32_t>(it->second.size()));
    }
    void Close(Storage::IStorageFile* file) override { delete file; }
    bool Find(const std::string& pattern, std::vector<std::string>* list) override
    {
        std::vector<std::string> names;
        for (const auto& f : files)
            names.push_back(f.first);
        return Storage::FindNames(pattern, names, list);
    }
};
