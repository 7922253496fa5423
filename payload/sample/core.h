#pragma once

// The sample product's companion library.
#ifdef VORLUNE_CORE_BUILD
#define VORLUNE_CORE_API extern "C" __declspec(dllexport)
#else
#define VORLUNE_CORE_API extern "C" __declspec(dllimport)
#endif

// The product's name and version, for its window.
VORLUNE_CORE_API const wchar_t* VorluneProductName();

// The greeting the product shows; `data_line` is the first line of its data file, or empty.
// The text stays valid until the next call.
VORLUNE_CORE_API const wchar_t* VorluneGreeting(const wchar_t* data_line);
