/*
 * The report's tests: the options the program starts with, so every case
 * reports over the same century at the same moment unless it says so.
 */
#ifndef TESTS_REPORTOPTIONS_H
#define TESTS_REPORTOPTIONS_H

#include "calendar.h"
#include "makereport.h"

#include <string>
#include <vector>

/* The options of a report of inputs into folder, made on 2026-12-07 at
   12:00. */
inline Options InFolder(const std::string &folder, const std::vector<const wchar_t *> &inputs)
{
    Options options = {};
    for (const wchar_t *input : inputs)
        options.inputs.push_back(input);
    options.outFolder = Widen(folder.c_str(), folder.size(), CP_ACP);
    options.from = DayNumber(2000, 1, 1);
    options.to = DayNumber(2099, 12, 31);
    options.now = DayNumber(2026, 12, 7) * MinutesPerDay + 12 * 60;
    options.gap = DefaultGap;
    return options;
}

#endif
