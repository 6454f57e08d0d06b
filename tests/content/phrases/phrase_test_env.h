// A program folder of its own for phrase tests: the local database over its Database folder, the
// content seams with a fixed clock and key-revealing texts, and a phrase manager; a session can
// end (tables saved as at shut-down) and a new one start over the same files.
#pragma once

#include "content/fake_env.h"
#include "content/phrase_mng.h"
#include "core/db_main.h"
#include "core/platform/temp_tree.h"
#include "core/prompt.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace phrase_test {

inline std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The local time as the fake seam answers it.
inline void setTime(content::FakeEnv &env, int y, int mo, int d, int h, int mi, int sec)
{
    env.now = content::formatLocalTime(y, mo, d, h, mi, sec);
}

struct Session {
    platform_test::TempTree tree;
    content::FakeEnv env; // the database's boxes go to env.prompt too
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<content::TPhraseMng> mng;

    Session() { start(); }
    ~Session() { end(); }

    std::string databaseDir() const { return tree.path("Database"); }
    std::string groupFile() const { return tree.path("Database/PhraseGroup.cds"); }
    std::string phraseFile() const { return tree.path("Database/Phrase.cds"); }

    void start()
    {
        tree.dir("Database");
        db = std::make_unique<core::TdbMain>(databaseDir(), &env.prompt);
        env.program = tree.root();
        mng = std::make_unique<content::TPhraseMng>(*db, env);
    }
    // Shut-down: the phrase manager saves, then the database goes.
    void end()
    {
        if (mng)
            mng->Save();
        mng.reset();
        db.reset();
    }
    void restart()
    {
        end();
        start();
    }
    content::TPhraseMng &operator*() { return *mng; }
    content::TPhraseMng *operator->() { return mng.get(); }
};

} // namespace phrase_test
