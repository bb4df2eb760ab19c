#pragma once

// How the reader helper ends; anything else (a signal, another code) is a failure of the helper.
enum class HelperExitCode : int
{
    Loaded = 0,
    Usage = 64,
    NotHandled = 65,
    ReadFailed = 66,
    FileNotFound = 67,
    NoNode = 68,
    StreamFailed = 69,
    UnsafeScene = 70,
    Sandbox = 71
};
