// Shader text to Direct3D 8 tokens, one statement per line.
#include "AsmAssembler.h"
#include "AsmTokens.h"

#include <cctype>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace D3DXAsm
{
namespace
{
using namespace AsmTok;

constexpr unsigned MaxErrors = 32;
constexpr DWORD DebugLineTag = 0x454E494Cu;  // "LINE"

struct SStatement
{
    unsigned Line;
    std::string Text;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Splits the text into non-empty lines without comments (";", "//", "/* */").
// The text ends at its first NUL byte.
std::vector<SStatement> SplitStatements(const char* p, size_t n)
{
    std::vector<SStatement> out;
    std::string cur;
    unsigned line = 1;
    bool inBlock = false;
    auto flush = [&]() {
        std::string t = Trim(cur);
        if (!t.empty())
            out.push_back({line, t});
        cur.clear();
    };
    for (size_t i = 0; i < n && p[i] != '\0'; ++i)
    {
        char c = p[i];
        if (c == '\n')
        {
            flush();
            ++line;
            continue;
        }
        if (inBlock)
        {
            if (c == '*' && i + 1 < n && p[i + 1] == '/')
            {
                inBlock = false;
                ++i;
            }
            continue;
        }
        if (c == '/' && i + 1 < n && p[i + 1] == '*')
        {
            inBlock = true;
            cur += ' ';
            ++i;
            continue;
        }
        if (c == ';' || (c == '/' && i + 1 < n && p[i + 1] == '/'))
        {
            while (i + 1 < n && p[i + 1] != '\n' && p[i + 1] != '\0')
                ++i;
            continue;
        }
        cur += c;
    }
    flush();
    return out;
}

struct SRegister
{
    DWORD Type = 0;
    DWORD Number = 0;
    bool Relative = false;
    bool Output = false;   // vertex shader o* registers
    char Letter = 0;       // r, v, c, t, a or o
};

class CAssembler
{
public:
    CAssembler(DWORD flags, const std::string& name, SOutput& out) : m_Flags(flags), m_Name(name), m_Out(out) {}

    bool Run(const char* text, size_t length)
    {
        std::vector<SStatement> statements = SplitStatements(text, length);
        unsigned lastLine = 1;
        for (const SStatement& s : statements)
        {
            lastLine = s.Line;
            m_Line = s.Line;
            // A line may hold several statements (text whose line ends were
            // folded into spaces): each ends after its last operand.
            std::string rest = s.Text;
            while (m_ErrorCount < MaxErrors)
            {
                rest = Trim(rest);
                if (rest.empty())
                    break;
                std::string next;
                if (!m_Version)
                    ParseVersion(rest, next);
                else
                    ParseInstruction(rest, next);
                rest = next;
            }
        }
        if (!m_Version && m_ErrorCount == 0)
        {
            m_Line = lastLine;
            Error("shader version expected (vs.1.0, vs.1.1 or ps.1.0 to ps.1.4)");
        }
        if (m_ErrorCount)
        {
            m_Out.Code.clear();
            m_Out.Constants.clear();
            return false;
        }
        m_Out.Code.push_back(End);
        return true;
    }

private:
    bool Validate() const { return (m_Flags & 2) == 0; }
    bool Vertex() const { return m_Kind == KindVertex; }
    bool Pixel() const { return m_Kind == KindPixel; }

    void Error(const char* fmt, ...)
    {
        ++m_ErrorCount;
        if (m_ErrorCount > MaxErrors)
            return;
        char msg[512];
        va_list args;
        va_start(args, fmt);
        vsnprintf(msg, sizeof(msg), fmt, args);
        va_end(args);
        char head[64];
        snprintf(head, sizeof(head), "(%u): error: ", m_Line);
        m_Out.Errors += m_Name + head + msg + "\n";
        if (m_ErrorCount == MaxErrors)
            m_Out.Errors += m_Name + "(" + std::to_string(m_Line) + "): error: too many errors, giving up\n";
    }

    std::string VersionText() const
    {
        char buf[16];
        snprintf(buf, sizeof(buf), "%s.%u.%u", Vertex() ? "vs" : "ps", m_Version >> 8, m_Version & 0xFF);
        return buf;
    }

    static bool ParseVersionText(const std::string& lower, unsigned& kind, WORD& version)
    {
        // "vs.1.1" or "vs_1_1"
        if (lower.size() != 6 || (lower[2] != '.' && lower[2] != '_') || lower[4] != lower[2])
            return false;
        if (lower.compare(0, 2, "vs") == 0)
            kind = KindVertex;
        else if (lower.compare(0, 2, "ps") == 0)
            kind = KindPixel;
        else
            return false;
        if (!std::isdigit(static_cast<unsigned char>(lower[3])) || !std::isdigit(static_cast<unsigned char>(lower[5])))
            return false;
        version = static_cast<WORD>(((lower[3] - '0') << 8) | (lower[5] - '0'));
        return true;
    }

    void ParseVersion(const std::string& statement, std::string& remainder)
    {
        size_t end = 0;
        while (end < statement.size() && !IsBlank(statement[end]))
            ++end;
        std::string text = statement.substr(0, end);
        remainder = statement.substr(end);
        std::string lower = Lower(text);
        unsigned kind = 0;
        WORD version = 0;
        if (!ParseVersionText(lower, kind, version))
        {
            Error("shader version expected (vs.1.0, vs.1.1 or ps.1.0 to ps.1.4), found \"%s\"", text.c_str());
            m_Version = 0xFFFF;  // report the problem once, then check the instructions as best we can
            m_Kind = KindPixel;
            return;
        }
        bool known = version >= 0x0100 && (kind == KindVertex ? version <= 0x0101 : version <= 0x0104);
        m_Kind = kind;
        if (!known)
        {
            Error("unsupported shader version \"%s\"", text.c_str());
            m_Version = 0xFFFF;
            return;
        }
        m_Version = version;
        m_Out.Code.push_back(kind == KindVertex ? VertexVersion(version >> 8, version & 0xFF)
                                                : PixelVersion(version >> 8, version & 0xFF));
    }

    // One operand from pos: an optional "1 -" or "-", then a register or
    // number with its suffixes, white space allowed only inside "[ ]".
    // Returns it without white space.
    static std::string ReadOperand(const std::string& text, size_t& pos)
    {
        auto skip = [&]() {
            while (pos < text.size() && IsBlank(text[pos]))
                ++pos;
        };
        std::string out;
        if (pos < text.size() && text[pos] == '1')
        {
            size_t p = pos + 1;
            while (p < text.size() && IsBlank(text[p]))
                ++p;
            if (p < text.size() && text[p] == '-')
            {
                out = "1-";
                pos = p + 1;
                skip();
            }
        }
        if (pos < text.size() && text[pos] == '-')
        {
            out += '-';
            ++pos;
            skip();
        }
        bool inBrackets = false;
        for (; pos < text.size(); ++pos)
        {
            char c = text[pos];
            if (c == ',' || (!inBrackets && IsBlank(c)))
                break;
            if (c == '[')
                inBrackets = true;
            else if (c == ']')
                inBrackets = false;
            if (!IsBlank(c))
                out += c;
        }
        return out;
    }

    // Reads Count comma-separated operands; Remainder gets what follows them.
    bool ExtractOperands(const std::string& text, size_t count, const std::string& name,
                         std::vector<std::string>& ops, std::string& remainder)
    {
        size_t pos = 0;
        auto skip = [&]() {
            while (pos < text.size() && IsBlank(text[pos]))
                ++pos;
        };
        auto countError = [&](const char* what, size_t found) {
            Error("%s operands for \"%s\": expected %u, found %u", what, name.c_str(), static_cast<unsigned>(count),
                  static_cast<unsigned>(found));
            return false;
        };
        for (size_t i = 0; i < count; ++i)
        {
            skip();
            if (i > 0)
            {
                if (pos >= text.size() || text[pos] != ',')
                    return countError("too few", i);
                ++pos;
                skip();
            }
            else if (pos >= text.size())
                return countError("too few", 0);
            std::string op = ReadOperand(text, pos);
            if (op.empty())
            {
                Error("missing operand for \"%s\"", name.c_str());
                return false;
            }
            ops.push_back(op);
        }
        skip();
        if (pos < text.size() && text[pos] == ',')
        {
            size_t found = count;
            while (pos < text.size() && text[pos] == ',')
            {
                ++pos;
                skip();
                ReadOperand(text, pos);
                skip();
                ++found;
            }
            return countError("too many", found);
        }
        remainder = text.substr(pos);
        return true;
    }

    void ParseInstruction(const std::string& text, std::string& remainder)
    {
        std::string s = text;
        bool coIssue = false;
        if (s[0] == '+')
        {
            coIssue = true;
            s = Trim(s.substr(1));
        }
        size_t sp = 0;
        while (sp < s.size() && !IsBlank(s[sp]))
            ++sp;
        std::string word = Lower(s.substr(0, sp));
        std::string rest = s.substr(sp);

        unsigned kind;
        WORD version;
        if (ParseVersionText(word, kind, version))
        {
            Error("the shader version may be given only once");
            return;
        }
        size_t us = word.find('_');
        std::string base = word.substr(0, us);
        const SInstrInfo* info = FindInstruction(base);
        if (!info)
        {
            Error("unknown instruction \"%s\"", s.substr(0, sp).c_str());
            return;
        }
        std::vector<std::string> ops;
        size_t expected = static_cast<size_t>(info->Dsts + info->Srcs) + ((info->Flags & InstrDef) ? 4 : 0);
        if (!ExtractOperands(rest, expected, base, ops, remainder))
            return;
        if (m_Version == 0xFFFF)
            return;  // no usable version: nothing more to check
        WORD lo = Vertex() ? info->VsMin : info->PsMin;
        WORD hi = Vertex() ? info->VsMax : info->PsMax;
        if (lo == 0)
        {
            Error("\"%s\" is not a %s shader instruction", base.c_str(), Vertex() ? "vertex" : "pixel");
            return;
        }
        if (m_Version < lo || m_Version > hi)
        {
            Error("\"%s\" is not available in %s", base.c_str(), VersionText().c_str());
            return;
        }

        bool texture = (info->Flags & InstrTexture) != 0;
        bool special = (info->Flags & (InstrDef | InstrPhase)) != 0;
        bool arithmetic = !texture && !special && info->Opcode != OpNop;

        // Instruction modifiers: _sat and one shift.
        bool saturate = false;
        DWORD shift = 0;
        bool haveShift = false;
        while (us != std::string::npos)
        {
            size_t next = word.find('_', us + 1);
            std::string mod = word.substr(us + 1, next == std::string::npos ? std::string::npos : next - us - 1);
            us = next;
            static const struct
            {
                const char* Name;
                DWORD Shift;
                bool Only14;
            } shifts[] = {{"x2", 1, false}, {"x4", 2, false}, {"x8", 3, true},
                          {"d2", 0xF, false}, {"d4", 0xE, true}, {"d8", 0xD, true}};
            bool known = false;
            if (mod == "sat" && !saturate)
            {
                saturate = known = true;
            }
            for (const auto& sh : shifts)
            {
                if (mod == sh.Name && !haveShift)
                {
                    if (sh.Only14 && m_Version < 0x0104 && Pixel())
                    {
                        Error("instruction modifier \"_%s\" needs ps.1.4", mod.c_str());
                        return;
                    }
                    shift = sh.Shift;
                    haveShift = known = true;
                }
            }
            if (!known)
            {
                Error("unknown or repeated instruction modifier \"_%s\"", mod.c_str());
                return;
            }
        }
        if ((saturate || haveShift) && (Vertex() || !arithmetic))
        {
            Error("\"%s\" takes no instruction modifiers", base.c_str());
            return;
        }
        if (coIssue && (Vertex() || !arithmetic))
        {
            Error("\"%s\" cannot be co-issued", base.c_str());
            return;
        }
        if (coIssue && !m_LastArithmetic)
        {
            Error("a co-issued instruction must follow an arithmetic instruction");
            return;
        }

        if (info->Flags & InstrPhase)
        {
            if (m_PhaseSeen)
            {
                Error("\"phase\" may appear only once");
                return;
            }
            m_PhaseSeen = true;
            m_ArithmeticInPhase = false;
            m_LastArithmetic = false;
            m_TextureCount = m_ArithmeticCount = 0;
            Emit({OpPhase});
            return;
        }
        if (info->Flags & InstrDef)
        {
            ParseDef(ops);
            return;
        }
        if (texture && Pixel() && m_ArithmeticInPhase && Validate())
        {
            Error("texture instruction \"%s\" after an arithmetic instruction", base.c_str());
            return;
        }

        std::vector<DWORD> tokens{info->Opcode | (coIssue ? CoIssue : 0)};
        bool ok = true;
        SRegister dst;
        if (info->Dsts)
        {
            DWORD token;
            ok = ParseDestination(ops[0], *info, dst, token);
            if (ok)
                tokens.push_back(token | (saturate ? DstModSaturate : 0) | (shift << DstShiftShift));
        }
        std::vector<SRegister> srcs;
        for (int i = 0; ok && i < info->Srcs; ++i)
        {
            SRegister reg;
            DWORD token;
            ok = ParseSource(ops[info->Dsts + i], *info, i, reg, token);
            if (ok)
            {
                tokens.push_back(token);
                srcs.push_back(reg);
            }
        }
        if (!ok)
            return;
        if (Vertex() && Validate() && !CheckVertexReadPorts(srcs))
            return;
        if (Validate() && !CheckTempsWritten(srcs))
            return;
        if (Pixel() && Validate() && info->Opcode == OpCnd && m_Version < 0x0104 &&
            !(srcs[0].Letter == 'r' && srcs[0].Number == 0 && ((tokens[2] >> SwizzleShift) & 0xFF) == 0xFF))
        {
            Error("the condition of \"cnd\" must be r0.a in %s", VersionText().c_str());
            return;
        }
        DWORD mask = info->Dsts ? (tokens[1] >> WriteMaskShift) & 0xF : 0;
        if (Pixel() && Validate() && !CheckPixelSlots(texture, arithmetic, coIssue, mask))
            return;
        Emit(tokens);
        m_InstructionSeen = m_InstructionSeen || arithmetic || texture;
        if (arithmetic)
            m_ArithmeticInPhase = true;
        m_LastArithmetic = arithmetic;
        m_LastMask = mask;
        if (info->Dsts && dst.Letter == 'r')
            m_TempsWritten |= 1u << dst.Number;
    }

    bool CheckTempsWritten(const std::vector<SRegister>& srcs)
    {
        for (const SRegister& r : srcs)
            if (r.Letter == 'r' && !(m_TempsWritten & (1u << r.Number)))
            {
                Error("r%u is read before anything is written to it", r.Number);
                return false;
            }
        return true;
    }

    // Co-issued pairs split colour and alpha; a pixel shader (each phase in
    // ps.1.4) holds at most 8 arithmetic and 4 (ps.1.4: 6) texture instructions.
    bool CheckPixelSlots(bool texture, bool arithmetic, bool coIssue, DWORD mask)
    {
        if (coIssue && ((m_LastMask & mask) != 0 || (m_LastMask | mask) != 0xF))
        {
            Error("co-issued instructions must write .rgb and .a");
            return false;
        }
        unsigned textureLimit = m_Version >= 0x0104 ? 6 : 4;
        const char* where = m_Version >= 0x0104 ? " in one phase" : "";
        if (texture && ++m_TextureCount > textureLimit)
        {
            Error("more than %u texture instructions%s", textureLimit, where);
            return false;
        }
        if (arithmetic && !coIssue && ++m_ArithmeticCount > 8)
        {
            Error("more than 8 arithmetic instructions%s", where);
            return false;
        }
        return true;
    }

    void Emit(const std::vector<DWORD>& tokens)
    {
        if (m_Flags & 1)
        {
            m_Out.Code.push_back(Comment(2));
            m_Out.Code.push_back(DebugLineTag);
            m_Out.Code.push_back(m_Line);
        }
        m_Out.Code.insert(m_Out.Code.end(), tokens.begin(), tokens.end());
    }

    bool CheckVertexReadPorts(const std::vector<SRegister>& srcs)
    {
        const SRegister* seenConst = nullptr;
        const SRegister* seenInput = nullptr;
        for (const SRegister& r : srcs)
        {
            const SRegister** seen = r.Type == RegConst ? &seenConst : r.Type == RegInput ? &seenInput : nullptr;
            if (!seen)
                continue;
            if (*seen && ((*seen)->Number != r.Number || (*seen)->Relative != r.Relative))
            {
                Error("only one %s register may be read by one instruction", r.Type == RegConst ? "constant" : "input");
                return false;
            }
            *seen = &r;
        }
        return true;
    }

    static bool ParseNumber(const std::string& s, size_t& pos, DWORD& value)
    {
        size_t start = pos;
        value = 0;
        while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])))
        {
            if (pos - start >= 5)
                return false;
            value = value * 10 + static_cast<DWORD>(s[pos] - '0');
            ++pos;
        }
        return pos > start;
    }

    // Parses a register name at pos (lower-case text) and checks that it
    // exists in this shader version.
    bool ParseRegister(const std::string& s, size_t& pos, SRegister& reg, const std::string& operand)
    {
        auto bad = [&]() {
            Error("invalid register \"%s\" in %s", operand.c_str(), VersionText().c_str());
            return false;
        };
        static const struct
        {
            const char* Name;
            DWORD Number;
        } rastOut[] = {{"opos", RastPosition}, {"ofog", RastFog}, {"opts", RastPointSize}};
        for (const auto& r : rastOut)
        {
            size_t len = strlen(r.Name);
            if (s.compare(pos, len, r.Name) == 0)
            {
                if (!Vertex())
                    return bad();
                reg.Type = RegRastOut;
                reg.Number = r.Number;
                reg.Output = true;
                reg.Letter = 'o';
                pos += len;
                return true;
            }
        }
        if (pos >= s.size())
            return bad();
        char letter = s[pos++];
        DWORD limit = 0;
        if (letter == 'o')
        {
            if (pos >= s.size() || !Vertex())
                return bad();
            char which = s[pos++];
            if (which == 'd')
                reg.Type = RegAttrOut, limit = 2;
            else if (which == 't')
                reg.Type = RegTexCrdOut, limit = 8;
            else
                return bad();
            reg.Output = true;
        }
        else if (letter == 'r')
            reg.Type = RegTemp, limit = Vertex() ? 12 : (m_Version >= 0x0104 ? 6 : 2);
        else if (letter == 'v')
            reg.Type = RegInput, limit = Vertex() ? 16 : 2;
        else if (letter == 'c')
            reg.Type = RegConst, limit = Vertex() ? 256 : 8;
        else if (letter == 't' && Pixel())
            reg.Type = RegTexture, limit = m_Version >= 0x0104 ? 6 : 4;
        else if (letter == 'a' && Vertex() && m_Version >= 0x0101)
            reg.Type = RegAddr, limit = 1;
        else
            return bad();
        reg.Letter = letter;
        if (letter == 'c' && pos < s.size() && s[pos] == '[')
            return ParseConstantIndex(s, pos, reg, operand, limit);
        if (!ParseNumber(s, pos, reg.Number) || reg.Number >= limit)
            return bad();
        return true;
    }

    // c[n], c[a0.x], c[a0.x + n] or c[n + a0.x]
    bool ParseConstantIndex(const std::string& s, size_t& pos, SRegister& reg, const std::string& operand, DWORD limit)
    {
        size_t close = s.find(']', pos);
        if (close == std::string::npos)
        {
            Error("missing \"]\" in \"%s\"", operand.c_str());
            return false;
        }
        std::string inside = s.substr(pos + 1, close - pos - 1);
        pos = close + 1;
        bool haveNumber = false;
        size_t at = 0;
        for (;;)
        {
            if (inside.compare(at, 4, "a0.x") == 0 && !reg.Relative)
            {
                reg.Relative = true;
                at += 4;
            }
            else if (!haveNumber && ParseNumber(inside, at, reg.Number))
                haveNumber = true;
            else
            {
                Error("bad constant index in \"%s\"", operand.c_str());
                return false;
            }
            if (at == inside.size())
                break;
            if (inside[at] != '+')
            {
                Error("bad constant index in \"%s\"", operand.c_str());
                return false;
            }
            ++at;
        }
        if (reg.Relative && !(Vertex() && m_Version >= 0x0101))
        {
            Error("relative addressing needs vs.1.1: \"%s\"", operand.c_str());
            return false;
        }
        if (reg.Number >= limit)
        {
            Error("invalid register \"%s\" in %s", operand.c_str(), VersionText().c_str());
            return false;
        }
        return true;
    }

    // ".xyzw" style letters to component indices.
    static bool ParseComponents(const std::string& s, size_t& pos, std::vector<int>& comps)
    {
        comps.clear();
        while (pos < s.size() && comps.size() < 5)
        {
            int c;
            switch (s[pos])
            {
            case 'x': case 'r': c = 0; break;
            case 'y': case 'g': c = 1; break;
            case 'z': case 'b': c = 2; break;
            case 'w': case 'a': c = 3; break;
            default: return !comps.empty() && comps.size() <= 4;
            }
            comps.push_back(c);
            ++pos;
        }
        return !comps.empty() && comps.size() <= 4;
    }

    bool ParseDestination(const std::string& operand, const SInstrInfo& info, SRegister& reg, DWORD& token)
    {
        std::string s = Lower(operand);
        size_t pos = 0;
        if (!ParseRegister(s, pos, reg, operand))
            return false;
        DWORD mask = 0xF;
        if (pos < s.size() && s[pos] == '.')
        {
            ++pos;
            std::vector<int> comps;
            if (!ParseComponents(s, pos, comps))
            {
                Error("bad write mask in \"%s\"", operand.c_str());
                return false;
            }
            mask = 0;
            for (size_t i = 0; i < comps.size(); ++i)
            {
                if (i > 0 && comps[i] <= comps[i - 1])
                {
                    Error("write mask components out of order in \"%s\"", operand.c_str());
                    return false;
                }
                mask |= 1u << comps[i];
            }
        }
        if (pos != s.size())
        {
            Error("unexpected \"%s\" in destination \"%s\"", operand.substr(pos).c_str(), operand.c_str());
            return false;
        }
        if (reg.Relative)
        {
            Error("relative addressing is not allowed on a destination: \"%s\"", operand.c_str());
            return false;
        }
        if (!CheckDestinationRole(operand, info, reg, mask))
            return false;
        token = ParamBit | (reg.Type << RegTypeShift) | reg.Number | (mask << WriteMaskShift);
        return true;
    }

    bool CheckDestinationRole(const std::string& operand, const SInstrInfo& info, const SRegister& reg, DWORD mask)
    {
        auto refuse = [&](const char* why) {
            Error("\"%s\" cannot be the destination of \"%s\"%s", operand.c_str(), info.Name, why);
            return false;
        };
        bool texture = (info.Flags & InstrTexture) != 0;
        if (reg.Letter == 'v' || reg.Letter == 'c')
            return refuse(" (read-only register)");
        if (Vertex())
        {
            if (reg.Letter == 'a')
            {
                if (info.Opcode != OpMov)
                    return refuse(" (only mov writes a0)");
                if (Validate() && mask != 1)
                    return refuse(" (write a0.x)");
            }
            return true;
        }
        if (m_Version >= 0x0104)
        {
            if (info.Opcode == OpTexKill)
                return true;
            if (reg.Letter != 'r')
                return refuse(" (ps.1.4 writes only r registers)");
            if (info.Opcode == OpTexDepth && reg.Number != 5)
                return refuse(" (texdepth writes r5)");
            return true;
        }
        if (texture && reg.Letter != 't')
            return refuse(" (texture instructions write t registers)");
        if (Validate() && mask != 0xF && mask != 0x7 && mask != 0x8)
        {
            Error("write mask of \"%s\" must be .rgba, .rgb or .a in %s", operand.c_str(), VersionText().c_str());
            return false;
        }
        if (Validate() && texture && mask != 0xF)
        {
            Error("texture instruction \"%s\" takes no write mask", info.Name);
            return false;
        }
        return true;
    }

    bool ParseSource(const std::string& operand, const SInstrInfo& info, int index, SRegister& reg, DWORD& token)
    {
        std::string s = Lower(operand);
        size_t pos = 0;
        bool complement = false, negate = false;
        if (s.compare(0, 2, "1-") == 0)
        {
            complement = true;
            pos = 2;
        }
        if (pos < s.size() && s[pos] == '-')
        {
            negate = true;
            ++pos;
        }
        if (!ParseRegister(s, pos, reg, operand))
            return false;
        std::string suffix;
        DWORD swizzle = NoSwizzle >> SwizzleShift;
        bool haveSwizzle = false;
        while (pos < s.size())
        {
            if (s[pos] == '_' && suffix.empty())
            {
                size_t start = ++pos;
                while (pos < s.size() && std::isalnum(static_cast<unsigned char>(s[pos])))
                    ++pos;
                suffix = s.substr(start, pos - start);
                if (suffix.empty())
                    break;
            }
            else if (s[pos] == '.' && !haveSwizzle)
            {
                ++pos;
                std::vector<int> comps;
                if (!ParseComponents(s, pos, comps))
                {
                    Error("bad swizzle in \"%s\"", operand.c_str());
                    return false;
                }
                while (comps.size() < 4)
                    comps.push_back(comps.back());
                swizzle = 0;
                for (int i = 0; i < 4; ++i)
                    swizzle |= static_cast<DWORD>(comps[i]) << (2 * i);
                haveSwizzle = true;
            }
            else
                break;
        }
        if (pos != s.size())
        {
            Error("unexpected \"%s\" in source \"%s\"", operand.substr(pos).c_str(), operand.c_str());
            return false;
        }

        DWORD mod = ModNone;
        if (suffix.empty())
            mod = complement ? ModComp : negate ? ModNeg : ModNone;
        else if (complement)
        {
            Error("\"1-\" cannot be combined with \"_%s\" in \"%s\"", suffix.c_str(), operand.c_str());
            return false;
        }
        else if (suffix == "bias")
            mod = negate ? ModBiasNeg : ModBias;
        else if (suffix == "bx2")
            mod = negate ? ModSignNeg : ModSign;
        else if (suffix == "x2")
            mod = negate ? ModX2Neg : ModX2;
        else if ((suffix == "dz" || suffix == "db" || suffix == "dw" || suffix == "da") && !negate)
            mod = (suffix == "dz" || suffix == "db") ? ModDz : ModDw;
        else
        {
            Error("unknown source modifier \"_%s\" in \"%s\"", suffix.c_str(), operand.c_str());
            return false;
        }
        if (!CheckSourceRole(operand, info, index, reg, mod, swizzle))
            return false;
        token = ParamBit | (reg.Type << RegTypeShift) | reg.Number | (reg.Relative ? AddrModeRelative : 0) |
                (swizzle << SwizzleShift) | (mod << SrcModShift);
        return true;
    }

    bool CheckSourceRole(const std::string& operand, const SInstrInfo& info, int index, const SRegister& reg,
                         DWORD mod, DWORD swizzle)
    {
        auto refuse = [&](const char* why) {
            Error("\"%s\" cannot be a source of \"%s\"%s", operand.c_str(), info.Name, why);
            return false;
        };
        if (reg.Output)
            return refuse(" (output register)");
        if (reg.Letter == 'a')
            return refuse(" (a0 is read only through c[a0.x + n])");
        bool texture = (info.Flags & InstrTexture) != 0;
        bool ps14 = Pixel() && m_Version >= 0x0104;
        bool texLoad14 = ps14 && texture;  // texld, texcrd
        bool replicate = swizzle == 0x00 || swizzle == 0x55 || swizzle == 0xAA || swizzle == 0xFF;
        if (Vertex())
        {
            if (mod != ModNone && mod != ModNeg)
                return refuse(" (vertex shaders allow only \"-\")");
            bool scalar = info.Opcode == OpRcp || info.Opcode == OpRsq || info.Opcode == OpExp ||
                          info.Opcode == OpLog || info.Opcode == OpExpP || info.Opcode == OpLogP;
            if (scalar && !replicate && Validate())
                return refuse(" (name one component: .x, .y, .z or .w)");
            return true;
        }
        if (texLoad14)
        {
            if (reg.Letter != 't' && !(info.Opcode == OpTex && reg.Letter == 'r'))
                return refuse(" (texture coordinates expected)");
            if (info.Opcode == OpTex && reg.Letter == 'r' && !m_PhaseSeen && Validate())
                return refuse(" (r registers are read only after \"phase\")");
            if (mod != ModNone && mod != ModDz && mod != ModDw)
                return refuse(" (only _dz or _dw)");
            if (Validate() && swizzle != 0xE4 && swizzle != 0xA4 && swizzle != 0xF4)
                return refuse(" (swizzle must be .xyz or .xyw)");
            return true;
        }
        if (mod == ModDz || mod == ModDw)
            return refuse(" (_dz and _dw are for texld and texcrd in ps.1.4)");
        if ((mod == ModX2 || mod == ModX2Neg) && !ps14)
            return refuse(" (_x2 on a source needs ps.1.4)");
        if (texture)
        {
            // ps.1.0 to ps.1.3 texture addressing reads t registers (texm3x3spec also the eye vector in c).
            bool eye = info.Opcode == OpTexM3x3Spec && index == 1;
            if (eye ? reg.Letter != 'c' : reg.Letter != 't')
                return refuse(eye ? " (eye vector constant expected)" : " (t register expected)");
            // _bx2 alone may scale the t register that a texm* instruction
            // reads, and in ps.1.2 and ps.1.3 that of any addressing instruction.
            if (Validate() && mod == ModSign && !eye && m_Version < 0x0102 && strncmp(info.Name, "texm", 4) != 0)
                return refuse(" (_bx2 on the source of this instruction needs ps.1.2)");
            if (Validate() && ((mod != ModNone && !(mod == ModSign && !eye)) || swizzle != 0xE4))
                return refuse(" (no modifiers on texture instruction sources)");
            return true;
        }
        if (ps14 && reg.Letter == 't')
            return refuse(" (ps.1.4 reads t registers only with texld and texcrd)");
        if (!Validate() || swizzle == 0xE4)
            return true;
        if (ps14 ? !replicate : (swizzle != 0xFF && swizzle != 0xAA))
            return refuse(ps14 ? " (only .r, .g, .b or .a replicate)" : " (only .a or .b replicate)");
        return true;
    }

    static bool ParseFloat(const std::string& text, float& value)
    {
        std::string s = text;
        if (!s.empty() && s[0] == '+')
            s.erase(0, 1);
        if (!s.empty() && (s.back() == 'f' || s.back() == 'F'))
            s.pop_back();
        if (s.empty() || s[0] == '+')
            return false;
        auto res = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
        return res.ec == std::errc() && res.ptr == s.data() + s.size();
    }

    void ParseDef(const std::vector<std::string>& ops)
    {
        std::string s = Lower(ops[0]);
        size_t pos = 0;
        SRegister reg;
        if (!ParseRegister(s, pos, reg, ops[0]))
            return;
        if (reg.Letter != 'c' || reg.Relative || pos != s.size())
        {
            Error("\"def\" needs a constant register, found \"%s\"", ops[0].c_str());
            return;
        }
        if (Pixel() && m_InstructionSeen && Validate())
        {
            Error("\"def\" must come before the first instruction of a pixel shader");
            return;
        }
        std::vector<DWORD> tokens{OpDef, ParamBit | (RegConst << RegTypeShift) | reg.Number | WriteMaskAll};
        DWORD values[4];
        for (int i = 0; i < 4; ++i)
        {
            float f;
            if (!ParseFloat(ops[1 + i], f))
            {
                Error("\"def\" value \"%s\" is not a number", ops[1 + i].c_str());
                return;
            }
            memcpy(&values[i], &f, sizeof(f));
            tokens.push_back(values[i]);
        }
        Emit(tokens);
        m_LastArithmetic = false;
        if (Vertex())
        {
            if (reg.Number > 0x7F)
            {
                Error("\"def\" of c%u: vertex shader constants above c127 cannot be declared", reg.Number);
                return;
            }
            m_Out.Constants.push_back(DeclConst(reg.Number, 1));
            m_Out.Constants.insert(m_Out.Constants.end(), values, values + 4);
        }
    }

    DWORD m_Flags;
    const std::string& m_Name;
    SOutput& m_Out;
    unsigned m_Line = 1;
    unsigned m_ErrorCount = 0;
    unsigned m_Kind = 0;
    WORD m_Version = 0;  // 0x0101 for 1.1; 0xFFFF after a bad version line
    bool m_PhaseSeen = false;
    bool m_ArithmeticInPhase = false;
    bool m_LastArithmetic = false;
    bool m_InstructionSeen = false; // an arithmetic or addressing one
    DWORD m_LastMask = 0;
    DWORD m_TempsWritten = 0;       // bit per r register           // write mask of the last instruction
    unsigned m_TextureCount = 0;    // pixel shader slots used (in this phase)
    unsigned m_ArithmeticCount = 0;
};
}  // namespace

bool Assemble(const char* pText, size_t Length, DWORD Flags, const std::string& SourceName, SOutput& Out)
{
    Out = SOutput();
    CAssembler assembler(Flags, SourceName, Out);
    return assembler.Run(pText ? pText : "", pText ? Length : 0);
}
}  // namespace D3DXAsm
