#include "LuaMeta.h"

#include <lua.hpp>

#include <boost/regex.hpp>

#include <cstdlib>
#include <memory>

#include "Effect.h"
#include "EffectXmlLoader.h"
#include "Log.h"
#include "Storage.h"

std::string g_MetaEffectFileName;

namespace
{
struct GlueState
{
    const LuaVariableMap* variables = nullptr;
    Storage::IStorage* storage = nullptr;
    LuaNameSet unbound;
    std::vector<std::string> searchPatterns;
    std::set<std::string> loadedPatterns;
    std::string printBuffer;
    int blockIndex = 0;
};

GlueState& Glue()
{
    static GlueState state;
    return state;
}

// The string form of argument i, or a Lua error "incorrect argument". The
// error is raised by the caller after every C++ object of this frame has
// gone, since lua_error jumps over C++ destructors.
bool ArgumentText(lua_State* L, int i, std::string& text)
{
    const int type = lua_type(L, i);
    if (type != LUA_TSTRING && type != LUA_TNUMBER)
        return false;
    size_t length = 0;
    const char* s = lua_tolstring(L, i, &length);
    text.assign(s, length);
    return true;
}

int IncorrectArgument(lua_State* L) { return luaL_error(L, "incorrect argument"); }

void Normalise(std::string& text)
{
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    text.swap(out);
}

// Instructions the blocks of one update have run, counted by the hook in
// steps of kHookStep; past the limit every block stops with an error.
const int kHookStep = 10000;
int g_UpdateInstructions = 0;

void CountInstructions(lua_State* L, lua_Debug*)
{
    g_UpdateInstructions += kHookStep;
    if (g_UpdateInstructions > CLuaEnvironment::kInstructionLimit)
        luaL_error(L, "script ran for more than %d instructions", CLuaEnvironment::kInstructionLimit);
}

// Loads and runs a chunk in protected mode; the error text goes to `error`.
bool RunChunk(lua_State* L, const char* code, size_t length, const char* chunkName, std::string& error)
{
    int result = luaL_loadbuffer(L, code, length, chunkName);
    if (result == 0)
        result = lua_pcall(L, 0, LUA_MULTRET, 0);
    if (result == 0)
    {
        lua_settop(L, 0);
        return true;
    }
    const char* message = lua_tostring(L, -1);
    error = message ? message : "";
    lua_settop(L, 0);
    // A chunk stopped by the memory limit leaves its garbage behind; free it
    // now so that the next chunk has room.
    lua_gc(L, LUA_GCCOLLECT, 0);
    return false;
}

bool RunLibrary(lua_State* L, const std::string& name)
{
    GlueState& glue = Glue();
    Storage::IStorageFile* file = glue.storage->Open(name);
    if (!file)
        return true;
    const uint32_t size = file->GetSize();
    std::vector<char> buffer(size + 1, 0);
    file->Read(buffer.data(), size);
    glue.storage->Close(file);
    std::string error;
    if (RunChunk(L, buffer.data(), strlen(buffer.data()), name.c_str(), error))
        return true;
    g_Log.Printf("Error LoadLuaLibraries in file '%s' = %i \n", name.c_str(), 1);
    g_Log.Printf("%s\n", error.c_str());
    return false;
}

// Everything that may throw or allocate for one require argument, in a frame
// of its own so that nothing C++ is alive when Lua errors unwind.
bool RequireOne(lua_State* L, const std::string& name)
{
    GlueState& glue = Glue();
    for (const std::string& pattern : glue.searchPatterns)
    {
        std::string expanded;
        for (char c : pattern)
        {
            if (c == '?')
                expanded += name;
            else
                expanded += c;
        }
        if (!glue.loadedPatterns.insert(expanded).second)
            continue;
        if (!glue.storage)
            continue;
        try
        {
            boost::regex check(expanded, boost::regex::perl);
            (void)check;
        }
        catch (const std::exception&)
        {
            return false;
        }
        std::vector<std::string> names;
        glue.storage->Find(expanded, &names);
        for (const std::string& file : names)
            RunLibrary(L, file);
    }
    return true;
}
} // namespace

// ---------------------------------------------------------------- glue

void LuaGlue::SetLibraryStorage(Storage::IStorage* storage) { Glue().storage = storage; }
void LuaGlue::AddSearchPattern(const std::string& pattern) { Glue().searchPatterns.push_back(pattern); }
void LuaGlue::ClearLoadedPatterns() { Glue().loadedPatterns.clear(); }
const LuaNameSet& LuaGlue::GetUnboundNames() { return Glue().unbound; }

int LuaGlue::VariableIndex(lua_State* L)
{
    // A key that is neither a string nor a number names no variable.
    const int type = lua_type(L, -1);
    lua_Number value = 0;
    if (type == LUA_TSTRING || type == LUA_TNUMBER)
    {
        GlueState& glue = Glue();
        const std::string key = lua_tostring(L, -1);
        auto it = glue.variables ? glue.variables->find(key) : LuaVariableMap::const_iterator();
        if (!glue.variables || it == glue.variables->end())
            glue.unbound.insert(key);
        else if (it->second)
            value = *it->second;
    }
    lua_pushnumber(L, value);
    return 1;
}

namespace
{
// Hands each argument's text to `sink` in order, up to the first argument
// that is neither a string nor a number, which raises the Lua error. The
// text goes out of scope first: the error does not return.
template <class Sink> int ForEachArgumentText(lua_State* L, Sink sink)
{
    const int count = lua_gettop(L);
    bool ok = true;
    {
        std::string text;
        for (int i = 1; i <= count && ok; ++i)
        {
            ok = ArgumentText(L, i, text);
            if (ok)
                sink(text);
        }
    }
    return ok ? 0 : IncorrectArgument(L);
}
} // namespace

int LuaGlue::Print(lua_State* L)
{
    return ForEachArgumentText(L, [](const std::string& text) { Glue().printBuffer += text; });
}

int LuaGlue::PrintToLog(lua_State* L)
{
    return ForEachArgumentText(L, [](const std::string& text) {
        g_Log.Printf("%s(%i) ", g_MetaEffectFileName.c_str(), Glue().blockIndex);
        g_Log.Printf("- %s \n", text.c_str());
    });
}

int LuaGlue::LoadLuaLibraries(lua_State* L)
{
    const int count = lua_gettop(L);
    bool ok = true;
    {
        std::string name;
        for (int i = 1; i <= count && ok; ++i)
            ok = ArgumentText(L, i, name) && RequireOne(L, name);
    }
    return ok ? 0 : IncorrectArgument(L);
}

// --------------------------------------------------------- environment

CLuaEnvironment::CLuaEnvironment() { Open(); }

CLuaEnvironment::~CLuaEnvironment()
{
    if (m_pState)
        lua_close(m_pState);
}

namespace
{
// The state's allocator: the standard one under a byte limit, so that a
// script cannot take the process's memory.
void* LimitedAlloc(void* ud, void* block, size_t oldSize, size_t newSize)
{
    size_t& allocated = *static_cast<size_t*>(ud);
    if (newSize == 0)
    {
        std::free(block);
        allocated -= block ? oldSize : 0;
        return nullptr;
    }
    const size_t held = block ? oldSize : 0;
    if (newSize > held && allocated - held + newSize > CLuaEnvironment::kMemoryLimit)
        return nullptr;
    void* grown = std::realloc(block, newSize);
    if (grown)
        allocated = allocated - held + newSize;
    return grown;
}
} // namespace

void CLuaEnvironment::Open()
{
    m_AllocatedBytes = 0;
    m_pState = lua_newstate(LimitedAlloc, &m_AllocatedBytes);
    static const luaL_Reg kLibraries[] = {{"", luaopen_base},
                                          {LUA_TABLIBNAME, luaopen_table},
                                          {LUA_MATHLIBNAME, luaopen_math},
                                          {LUA_STRLIBNAME, luaopen_string},
                                          {LUA_OSLIBNAME, luaopen_os}};
    for (const luaL_Reg& lib : kLibraries)
    {
        lua_pushcfunction(m_pState, lib.func);
        lua_pushstring(m_pState, lib.name);
        lua_call(m_pState, 1, 0);
    }
    // Effect scripts make text: they have no business ending the process,
    // running programs, touching files or reading standard input.
    lua_getglobal(m_pState, LUA_OSLIBNAME);
    for (const char* name : {"execute", "exit", "remove", "rename", "tmpname", "getenv"})
    {
        lua_pushnil(m_pState);
        lua_setfield(m_pState, -2, name);
    }
    lua_pop(m_pState, 1);
    for (const char* name : {"dofile", "loadfile"})
    {
        lua_pushnil(m_pState);
        lua_setglobal(m_pState, name);
    }
}

void CLuaEnvironment::RegisterFunction(const std::string& name, LuaNativeFunction function)
{
    m_Functions.push_back({function, name});
    lua_register(m_pState, name.c_str(), function);
}

void CLuaEnvironment::CreateClassTable()
{
    lua_State* L = m_pState;
    lua_newtable(L);
    lua_setglobal(L, m_ClassName.c_str());
    lua_register(L, "__variable_index", LuaGlue::VariableIndex);
    lua_getglobal(L, m_ClassName.c_str());
    lua_newtable(L);
    lua_getglobal(L, "__variable_index");
    lua_setfield(L, -2, "__index");
    lua_setmetatable(L, -2);
    lua_pop(L, 1);
}

void CLuaEnvironment::SetClassName(const std::string& name)
{
    m_ClassName = name;
    if (!m_ClassName.empty())
        CreateClassTable();
}

void CLuaEnvironment::Reset()
{
    if (m_pState)
        lua_close(m_pState);
    Open();
    if (!m_ClassName.empty())
        CreateClassTable();
    for (const Function& f : m_Functions)
        lua_register(m_pState, f.name.c_str(), f.function);
}

// ------------------------------------------------------------ meta text

void CLuaMetaText::SetSourceText(const std::string& text)
{
    m_SourceText = text;
    m_bUpToDate = false;
}

void CLuaMetaText::ClearOutput()
{
    m_OutputText.clear();
    m_bUpToDate = false;
}

void CLuaMetaText::Parse()
{
    m_PlainParts.clear();
    m_Blocks.clear();
    m_Order.clear();
    const boost::regex expression("(" + m_OpenTag + ")(.*?)(" + m_CloseTag + ")", boost::regex::perl);
    auto start = m_SourceText.cbegin();
    const auto end = m_SourceText.cend();
    boost::smatch match;
    while (boost::regex_search(start, end, match, expression, boost::match_default))
    {
        if (match[0].first != start)
        {
            m_Order.push_back({false, static_cast<int>(m_PlainParts.size())});
            m_PlainParts.emplace_back(start, match[0].first);
        }
        m_Order.push_back({true, static_cast<int>(m_Blocks.size())});
        m_Blocks.push_back({match[2].str(), std::string()});
        start = match[0].second;
    }
    if (start != end)
    {
        m_Order.push_back({false, static_cast<int>(m_PlainParts.size())});
        m_PlainParts.emplace_back(start, end);
    }
}

const LuaNameSet& CLuaMetaText::Update(const LuaVariableMap& variables)
{
    GlueState& glue = Glue();
    if (!m_Blocks.empty() && m_pEnvironment)
        m_pEnvironment->Reset();
    glue.loadedPatterns.clear();
    glue.variables = &variables;
    glue.unbound.clear();
    lua_State* L = m_pEnvironment ? m_pEnvironment->GetState() : nullptr;
    g_UpdateInstructions = 0;
    if (L)
        lua_sethook(L, CountInstructions, LUA_MASKCOUNT, kHookStep);
    for (size_t i = 0; i < m_Blocks.size(); ++i)
    {
        Block& block = m_Blocks[i];
        glue.blockIndex = static_cast<int>(i);
        glue.printBuffer.clear();
        std::string error = "no Lua environment";
        if (!L || !RunChunk(L, block.code.data(), block.code.size(), "block", error))
        {
            g_Log.Printf("Error CLuaMetaText::Update in block '%s' = %i \n", block.code.c_str(), 1);
            g_Log.Printf("%s\n", error.c_str());
        }
        block.output = glue.printBuffer;
        Normalise(block.output);
    }
    if (L)
        lua_sethook(L, nullptr, 0, 0);
    m_OutputText.clear();
    for (const Part& part : m_Order)
        m_OutputText += part.isBlock ? m_Blocks[part.index].output : m_PlainParts[part.index];
    glue.variables = nullptr;
    m_bUpToDate = true;
    return glue.unbound;
}

// ------------------------------------------------------- meta effects

bool Effect::LoadMeta(const std::string& text)
{
    m_MetaText.SetSourceText(text);
    m_MetaText.Parse();
    if (!m_MetaText.HasBlocks())
        return false;
    m_Name.clear();
    m_Techniques.clear();
    m_Condition.clear();
    m_bIsMeta = true;
    ReadMetaBlock("Name");
    ReadMetaBlock("Condition");
    return true;
}

void Effect::ReadMetaBlock(const std::string& name)
{
    const boost::regex expression("(<" + name + ">)(.*?)(</" + name + ">)", boost::regex::perl);
    const std::string& source = m_MetaText.GetSourceText();
    boost::sregex_iterator it(source.begin(), source.end(), expression), end;
    if (it == end)
        return;
    EffectXmlLoader loader;
    const std::string element = (*it)[0].str();
    if (name == "Name")
        loader.ParseNameBlock(element, this);
    else if (name == "Condition")
        loader.ParseConditionBlock(element, this);
    else
    {
        g_Log.Printf("Error: unknown block name '%s' in meta effect \n", name.c_str());
        return;
    }
    if (++it != end && name == "Condition")
        g_Log.Printf("Error: second %s block in meta effect \n", name.c_str());
}

void Effect::CompileMeta()
{
    EffectXmlLoader loader;
    m_Condition.clear();
    m_Techniques.clear();
    loader.Parse(m_MetaText.GetOutputText(), this);
    if (!loader.GetMessages().empty())
    {
        g_Log.Printf("Messages on load meta effect %s:\n", m_Name.c_str());
        for (const std::string& message : loader.GetMessages())
            g_Log.Printf("%s\n", message.c_str());
    }
    m_bMetaCompiled = true;
}

void Effect::ExpandAndCompileMeta(LuaVariableMap& variables, const LuaVariableMap& values)
{
    int round = 0;
    for (;; ++round)
    {
        if (round == kMaxMetaUpdateRounds)
        {
            g_Log.Printf("Error: meta effect %s still reads unbound names after %i updates\n", m_Name.c_str(),
                         round);
            break;
        }
        g_MetaEffectFileName = m_FileName;
        const LuaNameSet unbound = m_MetaText.Update(variables);
        if (unbound.empty())
            break;
        for (const std::string& name : unbound)
        {
            auto it = values.find(name);
            variables[name] = it != values.end() ? it->second : nullptr;
        }
    }
    CompileMeta();
}
