#pragma once

#include "ZelApi.h"

#include <boost/functional/hash.hpp>
#include <boost/unordered_set.hpp>
#include <cstddef>
#include <osg/ref_ptr>
#include <ostream>

// A set of scene objects, each held once by reference and hashed by its address. Iteration
// follows the hash table, not the order of insertion.
template <class T> class ZEL_API SelectionSet
{
public:
    using Element = osg::ref_ptr<T>;

    struct AddressHash
    {
        std::size_t operator()(const Element& element) const
        {
            return boost::hash<T*>()(element.get());
        }
    };

    using Set = boost::unordered_set<Element, AddressHash>;
    using iterator = typename Set::iterator;
    using const_iterator = typename Set::const_iterator;

    virtual ~SelectionSet() = default;

    virtual bool add(const Element& element) { return m_elements.insert(element).second; }
    virtual bool remove(const Element& element) { return m_elements.erase(element) > 0; }
    virtual iterator find(const Element& element) { return m_elements.find(element); }
    virtual std::size_t size() const { return m_elements.size(); }
    virtual void clear() { m_elements.clear(); }
    virtual bool isEmpty() const { return m_elements.empty(); }
    virtual const_iterator begin() const { return m_elements.begin(); }
    virtual iterator begin() { return m_elements.begin(); }
    virtual const_iterator end() const { return m_elements.end(); }
    virtual iterator end() { return m_elements.end(); }

protected:
    // The text form: a heading line, then "Empty" or one "index: address" line per element.
    std::ostream& print(std::ostream& stream, const char* heading) const
    {
        stream << heading << "\n";
        if (m_elements.empty())
            return stream << "Empty\n";
        std::size_t index = 0;
        for (const Element& element : m_elements)
            stream << index++ << ": " << static_cast<const void*>(element.get()) << "\n";
        return stream;
    }

private:
    Set m_elements;
};
