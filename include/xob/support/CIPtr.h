// CIPtr<T>: a shared reference to one heap object, deleted with its last share; empty when
// default-constructed. Copies may be made, passed and dropped on any threads at once (the share
// count is atomic); the object itself is not guarded.
//
// CIArray<T>: a growable array read by index.
#ifndef XOB_SUPPORT_CIPTR_H
#define XOB_SUPPORT_CIPTR_H

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <vector>

template <typename T>
class CIPtr {
public:
    CIPtr() noexcept = default;
    CIPtr(std::nullptr_t) noexcept {}  // NOLINT: implicit on purpose
    // Takes shared ownership of `object` (allocated with new); null gives an empty reference.
    CIPtr(T* object) : m_shared(object) {}  // NOLINT: implicit on purpose

    T* operator->() const noexcept { return m_shared.get(); }
    T& operator*() const noexcept { return *m_shared; }
    T* Get() const noexcept { return m_shared.get(); }
    explicit operator bool() const noexcept { return m_shared != nullptr; }

    // Drops this share; the reference is empty afterwards.
    void Reset() noexcept { m_shared.reset(); }
    // The number of references sharing the object (0 when empty).
    long GetRefCount() const noexcept { return m_shared.use_count(); }

private:
    std::shared_ptr<T> m_shared;
};

template <typename T>
class CIArray {
public:
    CIArray() = default;
    CIArray(std::initializer_list<T> items) : m_items(items) {}

    void Append(const T& item) { m_items.push_back(item); }
    long GetSize() const noexcept { return static_cast<long>(m_items.size()); }
    // `index` must lie in 0..GetSize()-1.
    const T& operator[](long index) const noexcept { return m_items[static_cast<std::size_t>(index)]; }
    T& operator[](long index) noexcept { return m_items[static_cast<std::size_t>(index)]; }
    void Clear() noexcept { m_items.clear(); }

private:
    std::vector<T> m_items;
};

#endif
