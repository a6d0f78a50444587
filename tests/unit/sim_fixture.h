// Base of the tests that run product code on the simulated machine.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "afxmbcs.h"
#include "machine.h"

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Every test and every table case ends with no misuse noticed and nothing left open.
    void TearDown() override;

    // Starts a table case on a fresh machine, after the checks of the case
    // before; every failure from here on names the case.
    void BeginCase(const std::string& name);

    // Changes the ANSI code page and adopts it as the runtime's, as start-up does.
    void UseCodePage(UINT codePage);

    winsim::Machine& m = winsim::machine();

private:
    void CheckMachine();

    std::optional<::testing::ScopedTrace> m_case;
};

// A module path, the folder and the title the installer must take from it.
struct ModulePath {
    std::string what;
    std::string path, folder, title;
};

// paths, and more with a double-byte character across the end of a buffer
// of 260 or 520 bytes: over its last byte (where a cut that keeps the
// terminator leaves a lone lead byte) and past it (where Wine stops a byte
// short); in the folder and in the file name; with characters from both
// lead-byte ranges, whose second bytes include '\\' and '@'.
std::vector<ModulePath> PathsAcrossBuffers(std::vector<ModulePath> paths);

// What every table of module paths runs under: each way Windows cuts a path
// that does not fit.
extern const winsim::PathCut kPathCuts[3];
std::string NameOf(winsim::PathCut cut);
