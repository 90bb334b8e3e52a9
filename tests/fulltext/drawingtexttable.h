#pragma once
// The shared table of drawing texts as the tests make and fill it.
#include <string>
#include <vector>

#include "db/schema.h"   // CreateDrawingTextTable: the table as the program makes it
#include "db/session.h"

// One drawing's row with a new stamp; texts: (text, box) pairs written as the reader does.
struct TestText {
    std::string text;   // UTF-8
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
bool StoreDrawingTexts(DatabaseSession& session, const std::string& folder, const std::string& file,
                       const std::vector<TestText>& texts, int state = 0, const std::string& memo = "");
