#pragma once

#include "ProbeCache.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Tries plug-in libraries in short-lived child processes before the program loads them: a
// library that crashes or hangs the dynamic loader (a damaged file) takes only the child down.
// The child is the helper "ZelvistaPluginProbe" beside the PluginSystem library; without it,
// libraries are loaded untried (WARN). Verdicts are cached by file identity (ProbeCache).
class PluginProbe
{
public:
    // cacheFile may be empty: no cache.
    explicit PluginProbe(const std::string& cacheFile);
    PluginProbe(const PluginProbe&) = delete;
    PluginProbe& operator=(const PluginProbe&) = delete;
    // Saves the cache.
    ~PluginProbe();

    // Tries every library without a cached verdict, several at a time.
    void tryAll(const std::vector<std::string>& paths);
    // Why the library must not be loaded, or nothing when it may be. Tries it if needed.
    std::optional<std::string> refusal(const std::string& path);

    static std::string helperPath();

private:
    struct Trial;

    bool start(Trial& trial);
    void finish(Trial& trial, int status);
    const std::string* uncached(const std::string& path) const;

    std::string m_helper;
    std::string m_cacheFile;
    std::unique_ptr<ProbeCache> m_cache;
    // Trials of this run that ended without a verdict worth keeping (time-outs).
    std::vector<std::pair<std::string, std::string>> m_uncached;
    bool m_warned = false;
};
