#pragma once

#include <functional>
#include <utility>

namespace velmor {

// A value that a view edits but a presenter owns: reads and writes go through the
// presenter's functions, so the view keeps no copy of its own.
template <typename T>
class Binding {
public:
    Binding(std::function<T()> get, std::function<void(const T&)> set) : get_(std::move(get)), set_(std::move(set)) {}

    // Reads and writes `value`, which must outlive the binding.
    static Binding of(T& value)
    {
        return Binding([&value] { return value; }, [&value](const T& next) { value = next; });
    }

    T get() const { return get_(); }
    void set(const T& value) const { set_(value); }

private:
    std::function<T()> get_;
    std::function<void(const T&)> set_;
};

} // namespace velmor
