// The shapes of the terminal library's calls, as Operation::call functions: each
// takes the request (by value, by pointer, or a record number) and fills the
// response, whose DiagRequestOut is the call's result code. Used by the operation
// tables of operations_*.cpp only.
#pragma once

#include "operations.h"

namespace operation_calls {

template <class Out> short result_of(const OperationCall& c) {
    return static_cast<const Out*>(c.response)->DiagRequestOut;
}

// void Call(In, Out*)
template <class In, class Out, void (*Call)(In, Out*)> short by_value(const OperationCall& c) {
    c.making(Call);
    Call(*static_cast<const In*>(c.request), static_cast<Out*>(c.response));
    return result_of<Out>(c);
}

// void Call(const In*, Out*)
template <class In, class Out, void (*Call)(const In*, Out*)>
short by_pointer(const OperationCall& c) {
    c.making(Call);
    Call(static_cast<const In*>(c.request), static_cast<Out*>(c.response));
    return result_of<Out>(c);
}

// void Call(Out*)
template <class Out, void (*Call)(Out*)> short response_only(const OperationCall& c) {
    c.making(Call);
    Call(static_cast<Out*>(c.response));
    return result_of<Out>(c);
}

// void Call(short record_number, Out*)
template <class Out, void (*Call)(short, Out*)> short numbered(const OperationCall& c) {
    c.making(Call);
    Call(static_cast<short>(c.record_number), static_cast<Out*>(c.response));
    return result_of<Out>(c);
}

} // namespace operation_calls
