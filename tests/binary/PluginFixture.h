#pragma once
// Loads the built plug-in as a host does: the binary is copied into a fresh folder of its own
// (the plug-in keeps files beside itself), loaded with the operating system's loader and
// entered through its export. Tests of the real binary derive from PluginFixture.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "../support/UserSettings.h"
#include "host/VstHost.h"

#ifndef WADLING_PLUGIN_PATH
#error "WADLING_PLUGIN_PATH must name the built plug-in"
#endif

class PluginFixture : public ::testing::Test {
protected:
    /// The plug-in as built. Under wine the build's Unix path is reached through drive Z:.
    static std::filesystem::path builtPlugin() {
        std::string path = WADLING_PLUGIN_PATH;
#ifdef _WIN32
        if (!path.empty() && path[0] == '/') path = "Z:" + path;
#endif
        return std::filesystem::path(path).make_preferred();
    }

    void SetUp() override {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        folder = std::filesystem::temp_directory_path() /
                 ("wadling-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(folder);
        // Beside the plug-in's folder, not in it: tests list what the plug-in wrote there.
        settingsFolder = folder.string() + "-settings";
        testsupport::setUserSettingsFolder(settingsFolder);
        const std::filesystem::path built = builtPlugin();
        pluginPath = folder / built.filename();
        std::filesystem::copy_file(built, pluginPath);
        library = host::PluginLibrary::load(pluginPath.string());
    }

    void TearDown() override {
        instances.clear(); // closes every instance still open
        library.reset();   // unloads the binary, so that its folder can go
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        std::filesystem::remove_all(settingsFolder, ignored);
    }

    /// A new plug-in object, created through `entryName` ("VSTPluginMain" or "main"), owned by
    /// the fixture and closed at the end of the test unless the test closes it first.
    host::PluginInstance& open(const char* entryName = "VSTPluginMain") {
        instances.push_back(std::make_unique<host::PluginInstance>(library, callback, entryName));
        return *instances.back();
    }

    host::HostCallback callback;
    std::filesystem::path folder;
    /// The user's settings folder while the test runs; nothing creates it in advance.
    std::filesystem::path settingsFolder;
    std::filesystem::path pluginPath;
    std::shared_ptr<host::PluginLibrary> library;
    std::vector<std::unique_ptr<host::PluginInstance>> instances;
};
