#pragma once
// The installation manual, one text per language (manual.cpp).
extern const wchar_t russianManual[];
extern const wchar_t englishManual[];
