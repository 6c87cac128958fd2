// Small helpers shared by the tests: fixed-width record fields, files, the
// environment, and a fresh state folder for the simulated terminal. Brings GoogleTest
// and the standard headers below to every test that includes it.
#pragma once

#include "korvex_sim.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// Fills a record field with `text`, zero-padded, cut to the field's width.
template <std::size_t N> void put(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N));
}

// A record field's text: up to its first NUL or its whole width.
template <std::size_t N> std::string text_of(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// A record field's whole width, terminator and padding included.
template <std::size_t N> std::string whole_field(const char (&field)[N]) {
    return std::string(field, N);
}

// A fresh, empty folder of the current test's own: <work dir>/<prefix>-<test name>.
inline std::string fresh_test_dir(const std::string& prefix) {
    const std::string dir = test_work_dir() + "/" + prefix + "-" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// Writes `text` to `name` in the tests' working folder; the file's path.
inline std::string write_file(const std::string& name, const std::string& text) {
    const std::string path = test_work_dir() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// The simulated terminal's next answer to `call`, the last request it got, and how
// many it got.
template <class Record> void script(const char* call, const Record& record) {
    korvex_sim_script(call, &record, sizeof record);
}
template <class Record> Record last_request(const char* call) {
    Record record{};
    EXPECT_EQ(korvex_sim_last_request(call, &record, sizeof record), sizeof record) << call;
    return record;
}
inline std::size_t calls(const char* call) {
    return korvex_sim_request_count(call);
}

// Sets (or, for null, removes) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const char* value) {
        if (value)
            setenv(name_, value, 1);
        else
            unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

// The simulated terminal on a state folder of the current test's own, with no
// delays; the shared folder comes back afterwards.
class SimStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_dir_ = test_work_dir() + "/sim-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(state_dir_);
        setenv("KORVEX_SIM_STATE_DIR", state_dir_.c_str(), 1);
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
        korvex_sim_reload_state();
    }
    void TearDown() override {
        setenv("KORVEX_SIM_STATE_DIR", (test_work_dir() + "/sim-state").c_str(), 1);
        korvex_sim_reload_state();
    }
    std::string state_dir_;
};

// RFC 4180: fields separated by commas, quoted when they hold a comma, a quote or a
// line break, quotes doubled; records end in CRLF.
inline std::vector<std::vector<std::string>> read_csv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string& field = rows.back().back();
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            rows.emplace_back(1);
        } else {
            field += c;
        }
    }
    EXPECT_FALSE(quoted) << "an unterminated quoted field";
    EXPECT_EQ(rows.back(), std::vector<std::string>(1)) << "the last record lacks its CRLF";
    rows.pop_back();
    return rows;
}
