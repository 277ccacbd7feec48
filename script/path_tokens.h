#pragma once
// Folder tokens in script lines and fixed paths: "<System>", "<Windows>", "<Destination>",
// "<Program Files>", "<Startup>", "<Start Programs>" and "<Source>".

// Replaces every token in text, in place, in that fixed order, each value ending in a
// backslash; then collapses doubled backslashes from the third character on (a leading pair,
// as in a network path, stays). Every result fits 260 bytes with its terminator: a replacement
// that would not is left out, and so are the later occurrences of that token. Each occurrence
// that is in the text is replaced once, so a value that holds its own token ends the search.
// "<Source>" is replaced only while an install context exists. A folder the system cannot
// report leaves its token in the text, except "<Program Files>", which then vanishes.
void ExpandPathTokens(char* text);

// Gives value (a 260-byte buffer) its trailing backslash and puts it in place of the leftmost
// occurrence of token. False, with text unchanged, when the token does not occur or the result
// would not fit 260 bytes.
bool ReplacePathToken(char* text, const char* token, char* value);

// The collapse step on its own, in place.
void CollapseDoubledBackslashes(char* text);
