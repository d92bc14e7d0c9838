#pragma once
// Named read-only files. The program reads its effect files, shader texts and
// textures through the main storage, which serves the program's own RCDATA
// resources by name.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Storage
{
class IStorageFile
{
public:
    virtual uint32_t GetSize() = 0;
    // Copies up to `count` bytes from the position; never reads past the end.
    virtual void Read(void* destination, uint32_t count) = 0;
    virtual uint32_t Tell() = 0;
    virtual void Seek(uint32_t position) = 0;
    virtual ~IStorageFile() = default;
};

class IStorage
{
public:
    virtual IStorageFile* Open(const std::string& name) = 0;
    virtual void Close(IStorageFile* file) = 0;
    // Whether any name matches the whole of the case-insensitive Perl-syntax
    // expression; with a list, every matching name is appended to it.
    virtual bool Find(const std::string& pattern, std::vector<std::string>* list) = 0;
    virtual ~IStorage() = default;
};

// Matches names in order as Find does; stops at the first match when the
// list is null.
bool FindNames(const std::string& pattern, const std::vector<std::string>& names, std::vector<std::string>* list);

// Bytes that belong to someone else, served as a file.
class CMemoryFile : public IStorageFile
{
public:
    CMemoryFile(const void* bytes, uint32_t size) : m_pBytes(static_cast<const uint8_t*>(bytes)), m_Size(size) {}
    uint32_t GetSize() override { return m_Size; }
    void Read(void* destination, uint32_t count) override;
    uint32_t Tell() override { return m_Position; }
    void Seek(uint32_t position) override { m_Position = position < m_Size ? position : m_Size; }

protected:
    const uint8_t* m_pBytes;
    uint32_t m_Position = 0;
    uint32_t m_Size;
};

// An open stdio stream, owned.
class CDiskFile : public IStorageFile
{
public:
    explicit CDiskFile(FILE* file) : m_pFile(file) {}
    ~CDiskFile() override;
    uint32_t GetSize() override;
    void Read(void* destination, uint32_t count) override;
    uint32_t Tell() override;
    void Seek(uint32_t position) override;

private:
    FILE* m_pFile;
};

// Child storages asked in order; remembers which child opened each file.
class CMetaStorage : public IStorage
{
public:
    void AddStorage(IStorage* storage) { m_Storages.push_back(storage); }
    IStorageFile* Open(const std::string& name) override;
    void Close(IStorageFile* file) override;
    bool Find(const std::string& pattern, std::vector<std::string>* list) override;

protected:
    std::vector<IStorage*> m_Storages;
    std::map<IStorageFile*, IStorage*> m_OpenFiles;
};

// One entry of a scene archive, copied into memory: at its offset the
// archive holds the entry's size (u32) and then its bytes.
class CSSSFile : public CMemoryFile
{
public:
    // An entry that does not lie wholly inside the archive comes out empty.
    CSSSFile(IStorageFile& archive, uint32_t offset);

private:
    std::shared_ptr<std::vector<uint8_t>> m_pData;
};

// A scene archive's entries as files, looked up by exact name.
class CSSSFileStorage : public IStorage
{
public:
    struct Entry
    {
        std::string name;
        uint32_t type;
        uint64_t offset; // the low 32 bits are used
    };

    // `archive` was opened by `owner`, which closes it when this storage goes.
    CSSSFileStorage(IStorageFile* archive, IStorage* owner, const std::vector<Entry>& directory);
    ~CSSSFileStorage() override;
    IStorageFile* Open(const std::string& name) override;
    void Close(IStorageFile* file) override { delete file; }
    bool Find(const std::string& pattern, std::vector<std::string>* list) override;

private:
    IStorageFile* m_pArchive;
    IStorage* m_pOwner;
    std::map<std::string, Entry> m_Directory;
};

#ifdef _WIN32
// One RCDATA resource of the program.
class CResourceFile : public CMemoryFile
{
public:
    CResourceFile(const void* bytes, uint32_t size, void* handle) : CMemoryFile(bytes, size), m_Handle(handle) {}
    ~CResourceFile() override;

private:
    void* m_Handle;
};

// The program's RCDATA resources, opened by name without regard to case.
class CResourceStorage : public IStorage
{
public:
    IStorageFile* Open(const std::string& name) override;
    void Close(IStorageFile* file) override;
    // Lists the names of every resource of every type (integer ids as
    // decimal numbers), enumerated once.
    bool Find(const std::string& pattern, std::vector<std::string>* list) override;

private:
    std::vector<std::string> m_Names;
};

class CMainStorage : public CMetaStorage
{
public:
    CMainStorage() { AddStorage(&m_Resources); }

private:
    CResourceStorage m_Resources;
};

CMainStorage* GetMainStorage();

// The whole of the main storage's file `name` into `out` (a std::string or a
// byte vector); false, with `out` empty, when the storage has no such file.
template <class Buffer>
bool ReadMainStorageFile(const std::string& name, Buffer& out)
{
    out.clear();
    CMainStorage* storage = GetMainStorage();
    IStorageFile* file = storage ? storage->Open(name) : nullptr;
    if (!file)
        return false;
    out.resize(file->GetSize());
    if (!out.empty())
        file->Read(&out[0], uint32_t(out.size()));
    storage->Close(file);
    return true;
}
#endif
} // namespace Storage
