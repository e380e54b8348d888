// The system's errors as the user reads them.
#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace velinor {
namespace {

TEST(ErrorText, TheDayToDayErrorsOfFilesAreInFrench) {
    const struct {
        int error;
        const char* text;
    } cases[] = {
        {ENOENT, "fichier ou dossier introuvable"},
        {EACCES, "accès refusé"},
        {ENOSPC, "plus de place sur le disque"},
        {EROFS, "disque en lecture seule"},
        {EEXIST, "le nom existe déjà"},
        {EISDIR, "c'est un dossier"},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorText(c.error), c.text) << c.error;
    // Others keep the system's text rather than saying nothing.
    EXPECT_EQ(ErrorText(EPROTO), std::strerror(EPROTO));
}

}  // namespace
}  // namespace velinor
