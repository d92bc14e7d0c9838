// Foundation services that face Win32: resource storage, the registry form of
// the settings tree, the language table and crash handling.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CrashHandler.h"
#include "LanguageTable.h"
#include "LogCapture.h"
#include "SettingsTree.h"
#include "Storage.h"
#include "TuningControl.h"

namespace
{
const char* const kTestKey = "Software\\Tarnholm Tests\\Foundation";

std::string ReadAll(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TempPath(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

std::string Sibling(const char* name)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1) + name;
}

// Runs a program to its end within `seconds`; returns its exit code, or -1
// when it had to be killed.
int RunProgram(const std::string& commandLine, int seconds)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -2;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(pi.hProcess, DWORD(seconds) * 1000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return int(code);
}

struct RegistryFixture : ::testing::Test
{
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }

    void SetRaw(const char* subkey, const char* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key;
        const std::string path = std::string(kTestKey) + (*subkey ? "\\" : "") + subkey;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void SetText(const char* subkey, const char* name, const std::string& data, bool withNul = true)
    {
        SetRaw(subkey, name, REG_SZ, data.c_str(), DWORD(data.size() + (withNul ? 1 : 0)));
    }
};
} // namespace

// ---------------------------------------------------------------- storage

TEST(ResourceStorage, OpensByNameWithoutRegardToCase)
{
    Storage::CMainStorage* storage = Storage::GetMainStorage();
    ASSERT_EQ(storage, Storage::GetMainStorage());
    for (const char* name : {"Smoke.tga", "SMOKE.TGA", "smoke.TGA"})
    {
        Storage::IStorageFile* file = storage->Open(name);
        ASSERT_TRUE(file) << name;
        ASSERT_EQ(file->GetSize(), 20u);
        char bytes[32] = {};
        file->Read(bytes, 4);
        file->Read(bytes + 4, 100); // past the end: only what is left
        EXPECT_EQ(std::string(bytes), "TGA-BYTES-0123456789");
        EXPECT_EQ(file->Tell(), file->GetSize());
        storage->Close(file);
    }
    // Resources of other types and missing names are not files.
    EXPECT_EQ(storage->Open("199"), nullptr);
    EXPECT_EQ(storage->Open("108"), nullptr);
    EXPECT_EQ(storage->Open("Missing.tga"), nullptr);
    int notOurs = 0;
    storage->Close(reinterpret_cast<Storage::IStorageFile*>(&notOurs)); // ignored
}

TEST(ResourceStorage, FindsWholeNamesByPattern)
{
    Storage::CMainStorage* storage = Storage::GetMainStorage();
    std::vector<std::string> list;
    EXPECT_TRUE(storage->Find(".*\\.xml", &list));
    EXPECT_EQ(list, std::vector<std::string>{"DIFFUSE.XML"});

    list.clear();
    EXPECT_TRUE(storage->Find("s.*", &list));
    EXPECT_EQ(list, std::vector<std::string>{"SMOKE.TGA"});

    EXPECT_TRUE(storage->Find(".*\\.XML", nullptr));
    EXPECT_FALSE(storage->Find("nothing.*", nullptr));

    list.clear();
    EXPECT_TRUE(storage->Find("1\\d\\d", &list)); // integer ids of every type
    EXPECT_NE(std::find(list.begin(), list.end(), "108"), list.end());
    EXPECT_NE(std::find(list.begin(), list.end(), "111"), list.end());
    EXPECT_NE(std::find(list.begin(), list.end(), "199"), list.end());

    Storage::CMetaStorage empty;
    EXPECT_EQ(empty.Open("Smoke.tga"), nullptr);
    EXPECT_FALSE(empty.Find(".*", &list));
}

// ---------------------------------------------------------------- tuning

TEST(TuningResource, BuiltInFileLoadsWhole)
{
    TuningControl::CManager m;
    LogCapture log;
    EXPECT_TRUE(m.LoadFromResource());
    EXPECT_EQ(log.Text(), "");
    EXPECT_FLOAT_EQ(*m.GetValue("Tuning.Colors.ActiveAdd.r"), 0.79f);
    EXPECT_EQ(*m.GetValue("Tuning.Pos.y"), 240.0f);
    EXPECT_EQ(*m.GetValue("EnableControl"), 0.0f);
}

TEST(TuningResource, ExternalFileSavesBackThroughATemporaryFile)
{
    const std::string name = TempPath("tarnholm_values.txt");
    {
        std::ofstream(name, std::ios::binary) << "A.b 1.000000\r\nbad line here\r\n";
    }
    TuningControl::CManager m;
    ASSERT_TRUE(m.LoadFromFile(name, 2));
    EXPECT_EQ(m.GetBadLineCount(), 1);
    *m.GetValue("A.b") = 2;
    ASSERT_TRUE(m.SaveToFile(name)); // replaces the existing file
    EXPECT_EQ(ReadAll(name), "A.b 2.000000\r\n");
    DeleteFileA(name.c_str());
}

// ---------------------------------------------------------------- registry

TEST_F(RegistryFixture, TreeReadsTheRegistryForms)
{
    const std::string big(3000, 'x');
    SetText("", "Int", "2: 0x10");
    SetText("", "Octal", "2: 010", false); // stored without its NUL
    SetText("", "Float", "1: 2.5");
    SetText("", "Text", "3: de");
    SetText("", "Tabbed", "3: one\ttwo");
    SetText("", "Empty", "3: ");
    SetText("", "Four", "4: 1");
    SetText("", "NoBlank", "3:x");
    SetText("", "AppPath", "C:\\Tarnholm");
    SetText("", "Big", "3: " + big);
    SetText("", "Edge", "3: " + std::string(2044, 'e'), false); // exactly fills the buffer
    SetText("", "x/y", "2: 1");
    SetText("", "Leaf", "2: 1");
    SetText("", "Leaf/Inner", "2: 2"); // through a value: skipped, the rest read
    SetText("", "Zed", "2: 26");
    DWORD dword = 5;
    SetRaw("", "Dword", REG_DWORD, &dword, sizeof dword);
    SetText("Sub", "Deep", "1: 0.500000");
    SetText("Sub\\Lower", "Name", "3: inner");

    Node root;
    root.Get("Sub") = Node::Value(7); // a subkey replaces an entry of that name
    LogCapture log;
    ASSERT_TRUE(root.LoadFromRegistry(HKEY_CURRENT_USER, kTestKey));
    EXPECT_EQ(root.Get("Int").GetInt(), 16);
    EXPECT_EQ(root.Get("Octal").GetInt(), 8);
    EXPECT_EQ(root.Get("Float").GetFloat(), 2.5f);
    EXPECT_EQ(root.Get("Text").GetText(), "de");
    EXPECT_EQ(root.Get("Tabbed").GetText(), "one");
    EXPECT_TRUE(root.Has("Empty", Node::KIND_STRING));
    EXPECT_EQ(root.Get("Edge").GetText(), std::string(2044, 'e'));
    for (const char* skipped : {"Four", "NoBlank", "AppPath", "Big", "Dword"})
        EXPECT_FALSE(root.Has(skipped, Node::KIND_EMPTY) || root.Has(skipped, Node::KIND_STRING) ||
                     root.Has(skipped, Node::KIND_INT))
            << skipped;
    EXPECT_EQ(root.Get("x/y").GetInt(), 1);
    EXPECT_EQ(root.Get("Leaf").GetInt(), 1);
    EXPECT_EQ(root.Get("Zed").GetInt(), 26);
    EXPECT_NE(log.Text().find("Leaf/Inner"), std::string::npos);
    EXPECT_EQ(root.Get("Sub/Deep").GetFloat(), 0.5f);
    EXPECT_EQ(root.Get("Sub/Lower/Name").GetText(), "inner");

    Node missing;
    EXPECT_FALSE(missing.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\Tarnholm Tests\\Absent"));
}

TEST_F(RegistryFixture, TreeWritesTheFormsAndReadsThemBack)
{
    Node root;
    root.Get("Half") = Node::Value(0.5f);
    root.Get("Count") = Node::Value(-3);
    root.Get("Language") = Node::Value("3: not parsed again");
    root.Get("Long") = Node::Value(std::string(1500, 'l'));
    root.Get("Nothing");
    root.Get("Blank") = Node::Value("");
    root.Get("Sub/Inner") = Node::Value(9);
    ASSERT_TRUE(root.SaveToRegistry(HKEY_CURRENT_USER, kTestKey));

    struct Case
    {
        const char* subkey;
        const char* name;
        HRESULT hr;
        std::string data;
    };
    const std::string key = kTestKey;
    const Case cases[] = {
        {"", "Half", S_OK, "1: 0.500000"},
        {"", "Count", S_OK, "2: -3"},
        {"", "Language", S_OK, "3: 3: not parsed again"},
        {"", "Long", S_OK, "3: " + std::string(1500, 'l')},
        {"", "Nothing", E_FAIL, ""},
        {"", "Blank", E_FAIL, ""},
        {"\\Sub", "Inner", S_OK, "2: 9"},
    };
    for (const Case& c : cases)
    {
        std::string data;
        EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, (key + c.subkey).c_str(), c.name, data, true), c.hr)
            << c.name;
        EXPECT_EQ(data, c.data) << c.name;
    }

    Node back;
    ASSERT_TRUE(back.LoadFromRegistry(HKEY_CURRENT_USER, kTestKey));
    EXPECT_EQ(back.Get("Half").GetFloat(), 0.5f);
    EXPECT_EQ(back.Get("Count").GetInt(), -3);
    EXPECT_EQ(back.Get("Language").GetText(), "3: not parsed again");
    EXPECT_EQ(back.Get("Sub/Inner").GetInt(), 9);
}

TEST_F(RegistryFixture, SingleStringValues)
{
    const std::string big(3000, 'b');
    for (const std::string& text : {std::string("LoadExternalControlFile"), std::string("1"), big})
    {
        ASSERT_EQ(WriteRegistryString(HKEY_CURRENT_USER, kTestKey, "Value", text, false), S_OK);
        std::string back = "unchanged";
        EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Value", back, false), S_OK);
        EXPECT_EQ(back, text);
    }
    SetText("", "Raw", "no terminator", false);
    std::string raw;
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Raw", raw, false), S_OK);
    EXPECT_EQ(raw, "no terminator");

    SetRaw("", "Zero", REG_SZ, "", 0);
    std::string kept = "kept";
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Zero", kept, false), S_OK);
    EXPECT_EQ(kept, "kept");

    DWORD dword = 1;
    SetRaw("", "Dword", REG_DWORD, &dword, sizeof dword);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Dword", kept, false), E_FAIL);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Absent", kept, false), E_FAIL);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, "Software\\Tarnholm Tests\\Absent", "x", kept, false), E_FAIL);

    EXPECT_EQ(DeleteRegistryValue(HKEY_CURRENT_USER, kTestKey, "Value", false), S_OK);
    EXPECT_EQ(DeleteRegistryValue(HKEY_CURRENT_USER, kTestKey, "Value", false), E_FAIL);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Value", kept, false), E_FAIL);
    EXPECT_FALSE(IsWow64()); // a 64-bit process
}

// ---------------------------------------------------------------- languages

TEST(LanguageTable, TranslatesIntoTheCodePageOfTheLanguage)
{
    LanguageTable table("");
    EXPECT_EQ(table.GetCodepage(), 1252u);
    ASSERT_TRUE(table.SelectTextBlock("Screensaver"));
    struct Case
    {
        const char* language;
        unsigned codepage;
        std::string expected;
    };
    const Case cases[] = {
        {"en", 1252, "Not enough memory."},
        {"de", 1252, "Nicht gen\xfcgend Arbeitsspeicher."},
        {"fr", 1252, "M\xe9moire insuffisante."},
        {"ru", 1251, "\xcd\xe5\xe4\xee\xf1\xf2\xe0\xf2\xee\xf7\xed\xee \xef\xe0\xec\xff\xf2\xe8."},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(table.SelectLanguage(c.language));
        EXPECT_EQ(table.GetCodepage(), c.codepage);
        EXPECT_EQ(table.Translate("Not enough memory."), c.expected) << c.language;
    }
    EXPECT_FALSE(table.SelectLanguage("DE"));
    EXPECT_EQ(table.GetCodepage(), 1251u); // still Russian

    ASSERT_TRUE(table.SelectLanguage("de"));
    const std::string multiLine = table.Translate(
        "Could not find any compatible Direct3D devices.\nPlease refer to https://support.vellomaris.example/tarnholm");
    EXPECT_EQ(multiLine.find("Es wurden keine kompatiblen Direct3D-Ger\xe4te gefunden.\n"), 0u);

    LogCapture log;
    EXPECT_EQ(table.Translate("No such text"), "No such text");
    EXPECT_EQ(log.Text(), "Can't translate string \"No such text\"\n");
    EXPECT_FALSE(table.SelectTextBlock("No such block"));
}

TEST(LanguageTable, MissingFileFallsBackAndConversionsKeepLongTexts)
{
    LanguageTable table("Z:\\no\\such\\Languages.xml");
    EXPECT_TRUE(table.SelectLanguage("ru"));

    std::string longUtf8;
    for (int i = 0; i < 1000; ++i)
        longUtf8 += "\xd0\x96"; // Cyrillic Zhe, one byte in 1251
    const std::string cp1251 = Utf8ToCodepage(longUtf8, 1251);
    EXPECT_EQ(cp1251, std::string(1000, '\xc6'));
    const std::string ascii(5000, 'a');
    EXPECT_EQ(Utf8ToCodepage(ascii, 1252), ascii);
    EXPECT_EQ(AnsiToUtf8(ascii), ascii);
    EXPECT_EQ(Utf8ToCodepage("", 1252), "");
}

// ---------------------------------------------------------------- crashes

namespace
{
int g_HookCalls = 0;
void CountHook()
{
    ++g_HookCalls;
}

int CountLines(const std::string& text, const std::string& prefix)
{
    int n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, prefix.size(), prefix) == 0)
            ++n;
    return n;
}
} // namespace

TEST(CrashFilter, WritesStackWithinTheThreadsStackAndThe64BitRegisters)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    const NT_TIB* tib = reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
#pragma GCC diagnostic pop
    const ULONG_PTR high = reinterpret_cast<ULONG_PTR>(tib->StackBase);
    struct Case
    {
        ULONG_PTR rsp;
        int stackLines;
    };
    const Case cases[] = {
        {high - 100, 2},       // 12 words left: one full line and one of two
        {high - 4000, 40},     // plenty of stack
        {0x10, 0},             // not stack at all
        {~ULONG_PTR(0) - 3, 0} // would wrap around
    };
    for (const Case& c : cases)
    {
        CONTEXT context = {};
        context.Rsp = c.rsp;
        context.Rip = 0x1234abcd5678ULL;
        context.R15 = 0xf15;
        EXCEPTION_RECORD record = {};
        record.ExceptionAddress = reinterpret_cast<void*>(0xdeadbeefULL);
        EXCEPTION_POINTERS pointers = {&record, &context};

        g_HookCalls = 0;
        g_CrashHook = CountHook;
        LogCapture log;
        EXPECT_EQ(CrashExceptionFilter(&pointers), EXCEPTION_EXECUTE_HANDLER);
        g_CrashHook = nullptr;
        const std::string text = log.Text();
        EXPECT_EQ(CountLines(text, "0x"), c.stackLines) << std::hex << c.rsp;
        EXPECT_EQ(text.find("Exception Address: <0xdeadbeef>\n"), 0u);
        EXPECT_NE(text.find("\tRIP: 0x1234abcd5678\tRSP: 0x"), std::string::npos);
        EXPECT_NE(text.find("R15: 0xf15\n"), std::string::npos);
        EXPECT_NE(text.find("SegCS: 0x"), std::string::npos);
        EXPECT_EQ(g_HookCalls, 1);
    }
    LogCapture log;
    EXPECT_EQ(CrashExceptionFilter(nullptr), EXCEPTION_EXECUTE_HANDLER); // no hook, nothing to read
}

TEST(CrashFilter, ACrashingProgramLogsCallsTheHookAndExitsWithOne)
{
    const std::string logName = TempPath("tarnholm_crash.log");
    DeleteFileA(logName.c_str());
    EXPECT_EQ(RunProgram("\"" + Sibling("foundation_crash.exe") + "\" crash \"" + logName + "\"", 30), 1);
    const std::string text = ReadAll(logName);
    EXPECT_NE(text.find("Crashing now\n"), std::string::npos);
    EXPECT_NE(text.find("Exception Address: <0x"), std::string::npos);
    EXPECT_NE(text.find(" - 0x"), std::string::npos); // a stack line after its stamp
    EXPECT_NE(text.find("\tRIP: 0x"), std::string::npos);
    EXPECT_NE(text.find("Registers: \n"), std::string::npos);
    EXPECT_NE(text.find("Crash hook called\n"), std::string::npos);
    DeleteFileA(logName.c_str());
}

TEST(ErrorReport, DialogEndsTheProcessWithOneWhicheverButton)
{
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "mapi32=d"); // no mail client
    struct Case
    {
        const char* answer;
        bool hookCalled;
    };
    for (const Case& c : {Case{"send", true}, Case{"close", false}})
    {
        const std::string marker = TempPath("tarnholm_report_marker.txt");
        DeleteFileA(marker.c_str());
        EXPECT_EQ(RunProgram("\"" + Sibling("foundation_crash.exe") + "\" dialog \"" + marker + "\" " + c.answer, 30), 1)
            << c.answer;
        EXPECT_EQ(GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES, c.hookCalled) << c.answer;
        DeleteFileA(marker.c_str());
    }
}

TEST(ErrorReport, MailWithoutAClientSendsNothing)
{
    CMapiMail mail;
    EXPECT_TRUE(mail.AddRecipient());
    EXPECT_TRUE(mail.AddRecipient());
    EXPECT_EQ(mail.GetRecipientCount(), 2u);
    if (mail.GetError() == CMapiMail::MAIL_NO_LIBRARY || mail.GetError() == CMapiMail::MAIL_NO_SENDMAIL)
    {
        EXPECT_FALSE(mail.Send());
    }
}
