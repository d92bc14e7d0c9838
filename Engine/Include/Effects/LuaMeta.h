#pragma once
// Meta effects: effect text with <lua>...</lua> blocks whose printed output
// replaces them. CLuaMetaText splits and expands such a text; CLuaEnvironment
// is the one Lua state that the blocks run in; the glue state below is what
// the script functions (Variable, print, PrintToLog, require) work on.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

struct lua_State;
typedef int (*LuaNativeFunction)(lua_State*);

namespace Storage
{
class IStorage;
}

class CLuaEnvironment
{
public:
    CLuaEnvironment();
    ~CLuaEnvironment();
    CLuaEnvironment(const CLuaEnvironment&) = delete;
    CLuaEnvironment& operator=(const CLuaEnvironment&) = delete;

    void RegisterFunction(const std::string& name, LuaNativeFunction function);
    void SetClassName(const std::string& name);
    // A fresh state with the libraries, the class table and the functions.
    // The state holds at most kMemoryLimit bytes; the blocks of one meta
    // text update stop with an error after kInstructionLimit instructions.
    void Reset();
    static const size_t kMemoryLimit = 64u << 20;
    static const int kInstructionLimit = 10000000;
    lua_State* GetState() const { return m_pState; }

private:
    void Open();
    void CreateClassTable();

    struct Function
    {
        LuaNativeFunction function;
        std::string name;
    };
    lua_State* m_pState = nullptr;
    size_t m_AllocatedBytes = 0; // what the state holds, kept under a limit
    std::vector<Function> m_Functions;
    std::string m_ClassName;
};

// Variable name -> the caller's value; null for a variable without a value.
typedef std::map<std::string, const int32_t*> LuaVariableMap;
typedef std::set<std::string> LuaNameSet;

class CLuaMetaText
{
public:
    CLuaMetaText() : m_OpenTag("<lua>"), m_CloseTag("</lua>") {}

    void Parse();
    // Runs every block with the variables; returns the names read that the
    // map lacks (valid until the next update).
    const LuaNameSet& Update(const LuaVariableMap& variables);

    bool IsUpToDate() const { return m_bUpToDate; }
    void SetEnvironment(CLuaEnvironment* environment) { m_pEnvironment = environment; }
    CLuaEnvironment* GetEnvironment() const { return m_pEnvironment; }
    const std::string& GetSourceText() const { return m_SourceText; }
    const std::string& GetOutputText() const { return m_OutputText; }
    bool HasBlocks() const { return !m_Blocks.empty(); }
    void SetSourceText(const std::string& text);
    void ClearOutput();
    void MarkNotUpToDate() { m_bUpToDate = false; }
    size_t GetPlainPartCount() const { return m_PlainParts.size(); }
    size_t GetBlockCount() const { return m_Blocks.size(); }
    const std::string& GetBlockCode(size_t i) const { return m_Blocks[i].code; }
    const std::string& GetPlainPart(size_t i) const { return m_PlainParts[i]; }

private:
    struct Block
    {
        std::string code;
        std::string output;
    };
    struct Part
    {
        bool isBlock;
        int index;
    };

    bool m_bUpToDate = false;
    CLuaEnvironment* m_pEnvironment = nullptr;
    std::string m_OpenTag;
    std::string m_CloseTag;
    std::string m_SourceText;
    std::string m_OutputText;
    std::vector<std::string> m_PlainParts;
    std::vector<Block> m_Blocks;
    std::vector<Part> m_Order;
};

// The glue state shared by the script functions.
namespace LuaGlue
{
void SetLibraryStorage(Storage::IStorage* storage);
void AddSearchPattern(const std::string& pattern);
void ClearLoadedPatterns();
const LuaNameSet& GetUnboundNames();
int VariableIndex(lua_State* L);
int Print(lua_State* L);
int PrintToLog(lua_State* L);
int LoadLuaLibraries(lua_State* L);
} // namespace LuaGlue

// The storage name of the meta effect being expanded, for PrintToLog.
extern std::string g_MetaEffectFileName;

// Expansion rounds of one compile before it gives up on names that keep
// turning up unbound.
enum
{
    kMaxMetaUpdateRounds = 16
};
