#pragma once
// An environment variable set for the life of an object, for tests of code that reads one.

#include <cstdlib>
#include <optional>
#include <string>

namespace tolbe_test {

// Sets or removes a variable of this process's environment, on both hosts (Windows has no
// setenv; _putenv_s with an empty value removes the variable there).
inline void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetVariable(const char* name) {
#ifdef _WIN32
    ::_putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

// Sets the variable, then puts the old value back (or removes it again) when the object goes.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        SetVariable(name, value);
    }
    ~ScopedVariable() {
        if (m_old) {
            SetVariable(m_name, *m_old);
        } else {
            UnsetVariable(m_name);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace tolbe_test
