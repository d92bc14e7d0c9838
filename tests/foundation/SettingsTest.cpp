#include "SettingsTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LogCapture.h"

TEST(SettingsTree, PathsCreateAndCheckKinds)
{
    Node root;
    root.Get("a/b/c");
    EXPECT_TRUE(root.Has("a/b/c", Node::KIND_EMPTY));
    EXPECT_FALSE(root.Has("a/b/c", Node::KIND_INT));
    EXPECT_TRUE(root.Has("a/b", Node::KIND_NODE));
    EXPECT_EQ(root.Get("a/b/c").GetInt(), 0);
    EXPECT_EQ(&root.Get("a/b/c/"), &root.Get("a/b/c")); // a trailing "/" acts as none

    root.Get("x") = Node::Value(5);
    EXPECT_THROW(root.Get("x/y"), Node::KeyNotFound);
    for (int kind = 0; kind <= 4; ++kind)
        EXPECT_FALSE(root.Has("x/y", kind));
    EXPECT_EQ(root.Get("x").GetInt(), 5);
    EXPECT_EQ(root.Get("x").GetFloat(), 0.0f); // read by the wrong kind
    EXPECT_TRUE(root.Has("/lead", Node::KIND_EMPTY) == false);
    root.Get("/lead");
    EXPECT_TRUE(root.Has("/lead", Node::KIND_EMPTY));
}

TEST(SettingsTree, RegistryDataForms)
{
    struct Case
    {
        std::string name;
        std::string data; // as stored, possibly without its NUL
        bool taken;
        int kind;
        std::string text;
        int i;
        float f;
    };
    const Case cases[] = {
        {"i", std::string("2: 0x10", 8), true, Node::KIND_INT, "", 16, 0},
        {"i", "2: 010", true, Node::KIND_INT, "", 8, 0},
        {"i", "2: -7", true, Node::KIND_INT, "", -7, 0},
        {"f", std::string("1: 2.5\0", 7), true, Node::KIND_FLOAT, "", 0, 2.5f},
        {"f", "1: 0.500000", true, Node::KIND_FLOAT, "", 0, 0.5f},
        {"s", "3: de", true, Node::KIND_STRING, "de", 0, 0},
        {"s", "3: one\ttwo", true, Node::KIND_STRING, "one", 0, 0},
        {"s", "3: ", true, Node::KIND_STRING, "", 0, 0},
        {"s", "3: " + std::string(3000, 'q'), true, Node::KIND_STRING, std::string(3000, 'q'), 0, 0},
        {"p/q", "2: 3", true, Node::KIND_INT, "", 3, 0},
        {"n", "4: 1", false, Node::KIND_EMPTY, "", 0, 0},
        {"n", "3:x", false, Node::KIND_EMPTY, "", 0, 0},
        {"n", "2", false, Node::KIND_EMPTY, "", 0, 0},
        {"n", "", false, Node::KIND_EMPTY, "", 0, 0},
        {"n", "C:\\Program Files\\Tarnholm", false, Node::KIND_EMPTY, "", 0, 0},
    };
    for (const Case& c : cases)
    {
        Node root;
        EXPECT_EQ(root.ReadRegistryValue(c.name, c.data.data(), c.data.size()), c.taken) << c.data;
        EXPECT_EQ(root.Has(c.name, c.kind), c.taken) << c.data;
        if (!c.taken)
            continue;
        const Node::Value& v = root.Get(c.name);
        EXPECT_EQ(v.GetText(), c.text) << c.data;
        EXPECT_EQ(v.GetInt(), c.i) << c.data;
        EXPECT_EQ(v.GetFloat(), c.f) << c.data;
    }
}

// The sanitizer build's leak check sees a tree left behind.
TEST(SettingsTree, AValueWrittenOverANodeFreesTheTreeBelowIt)
{
    Node root;
    root.Get("a/b/c") = Node::Value(1);
    root.Get("a") = Node::Value(2);
    EXPECT_TRUE(root.Has("a", Node::KIND_INT));
    EXPECT_FALSE(root.Has("a/b", Node::KIND_NODE));
    EXPECT_TRUE(root.ReadRegistryValue("d/e", "2: 3", 4));
    EXPECT_TRUE(root.ReadRegistryValue("d", "2: 4", 4));
    EXPECT_EQ(4, root.Get("d").GetInt());
}

TEST(SettingsTree, AValueThroughALeafIsSkippedAndTheRestIsRead)
{
    Node root;
    EXPECT_TRUE(root.ReadRegistryValue("x", "2: 1", 4));
    LogCapture log;
    EXPECT_FALSE(root.ReadRegistryValue("x/y", "2: 2", 4));
    EXPECT_NE(log.Text().find("x/y"), std::string::npos);
    EXPECT_TRUE(root.ReadRegistryValue("z", "2: 3", 4));
    EXPECT_EQ(root.Get("x").GetInt(), 1);
    EXPECT_EQ(root.Get("z").GetInt(), 3);
}

TEST(SettingsTree, WriterForms)
{
    struct Case
    {
        Node::Value value;
        bool written;
        std::string data;
    };
    const Case cases[] = {
        {Node::Value(0.5f), true, "1: 0.500000"},
        {Node::Value(-12), true, "2: -12"},
        {Node::Value("de"), true, "3: de"},
        {Node::Value(std::string(3000, 'w')), true, "3: " + std::string(3000, 'w')},
        {Node::Value(""), false, ""},
        {Node::Value(), false, ""},
        {Node::Value(std::make_unique<Node>()), false, ""},
    };
    for (const Case& c : cases)
    {
        std::string data;
        EXPECT_EQ(FormatRegistryData(c.value, data), c.written) << c.data;
        EXPECT_EQ(data, c.data);
    }
}
