#pragma once
// Hands an error to the application's general error handler from a place
// where an exception must not travel on: a paint event, or a slot called by
// a control's signal. The error is thrown again from an event of its own as
// soon as the event loop runs, where the handler around event dispatch
// catches it and shows it.
//
// An error whose text equals one still waiting to be shown is dropped, so one
// failure met by several steps of the same user action gives one message.

#include <exception>

void RaiseInEventLoop(std::exception_ptr error);
