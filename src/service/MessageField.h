#pragma once

// The input a server message belongs to: the window shows it on that field's label.
enum class MessageField : int
{
    General = 0, // the window's general message label
    Code = 1,    // the verification-code input
    Account = 2, // the account (mobile number) input
};
