// Base of the tests that run product code on the simulated machine.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "afxmbcs.h"
#include "machine.h"

// A module path as Windows holds it; the folder and the title the installer
// must take from it, in UTF-8.
struct ModulePath {
    std::string what;
    std::u16string path;
    std::string folder, title;
};

// Leaves what a caller's frame would find on the stack full of set bits.
void DirtyTheStack();

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Every test and every table case ends with no misuse noticed and nothing left open.
    void TearDown() override;

    // Starts a table case on a fresh machine, after the checks of the case
    // before; every failure from here on names the case.
    void BeginCase(const std::string& name);

    // Runs check for each of the listed module paths and (acrossBuffers) of more with a
    // surrogate pair across the end of a 260- or 520-unit buffer, under each
    // way Windows cuts a path that does not fit: each a case of its own, on a
    // machine holding that path.
    void ForEachModulePath(const std::vector<ModulePath>& listed,
                           const std::function<void(const ModulePath&)>& check, bool acrossBuffers = true);

    // Runs check as a case of its own on a Windows of each ANSI code page
    // (932, 1252, 65001), and on one without a table for code page 932.
    void ForEachCodePage(const std::string& name, const std::function<void()>& check);
    // UTF-8 text of a box as the user reads it on this machine, where its
    // parts that are not our own words (our name, our folder) are ASCII.
    std::string Shown(const std::string& utf8) const;

    // Changes the ANSI code page and adopts it as the runtime's, as start-up does.
    void UseCodePage(UINT codePage);

    winsim::Machine& m = winsim::machine();

private:
    void CheckMachine();

    std::optional<::testing::ScopedTrace> m_case;
};
