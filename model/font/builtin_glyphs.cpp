// Glyph outlines of the two built-in stroke fonts, on the square working grid
// described in builtin_glyphs.h (baseline 6, x-height 14, caps 18, descenders 2).
#include "model/font/builtin_glyphs.h"

#include <iterator>

namespace builtin_glyphs {
namespace {

// The capital O and the small o, reused by several glyphs below.
#define ZF_CAP_O "3,6 7,6 9,7 10,9 10,15 9,17 7,18 3,18 1,17 0,15 0,9 1,7 3,6"
#define ZF_SMALL_O "2,6 6,6 8,8 8,12 6,14 2,14 0,12 0,8 2,6"
#define ZF_RING_BIG "4,6 8,6 11,9 11,15 8,18 4,18 1,15 1,9 4,6"

constexpr PathGlyph kAscii[] = {
    {'!', "1,18 1,10;1,7 1,6"},
    {'"', "1,18 1,15;4,18 4,15"},
    {'#', "3,7 3,17;7,7 7,17;0,10 10,10;0,14 10,14"},
    {'$', "10,16 8,18 2,18 0,16 0,14 2,12 8,12 10,10 10,8 8,6 2,6 0,8;5,20 5,4"},
    {'%', "0,6 10,18;0,15 0,18 3,18 3,15 0,15;7,6 7,9 10,9 10,6 7,6"},
    {'&', "10,6 2,15 2,17 3,18 5,18 6,17 6,15 0,10 0,8 2,6 6,6 10,10"},
    {'\'', "1,18 1,15"},
    {'(', "3,20 1,17 0,13 0,11 1,7 3,4"},
    {')', "0,20 2,17 3,13 3,11 2,7 0,4"},
    {'*', "4,9 4,17;1,15 7,11;1,11 7,15"},
    {'+', "4,8 4,16;0,12 8,12"},
    {',', "1,7 1,6 0,4"},
    {'-', "0,12 6,12"},
    {'.', "0,6 0,7"},
    {'/', "0,6 8,18"},
    {'0', "3,6 5,6 7,7 8,9 8,15 7,17 5,18 3,18 1,17 0,15 0,9 1,7 3,6"},
    {'1', "1,16 4,18 4,6"},
    {'2', "0,16 1,17 3,18 5,18 7,17 8,16 8,14 7,12 0,6 8,6"},
    {'3', "0,16 2,18 6,18 8,16 8,14 6,12 3,12;6,12 8,10 8,8 6,6 2,6 0,8"},
    {'4', "6,6 6,18 0,10 8,10"},
    {'5', "8,18 1,18 0,12 2,13 6,13 8,11 8,8 6,6 2,6 0,8"},
    {'6', "7,18 4,18 2,17 0,14 0,8 2,6 6,6 8,8 8,10 6,12 2,12 0,10"},
    {'7', "0,18 8,18 3,6"},
    {'8', "2,12 0,14 0,16 2,18 6,18 8,16 8,14 6,12 2,12 0,10 0,8 2,6 6,6 8,8 8,10 6,12"},
    {'9', "8,14 6,12 2,12 0,14 0,16 2,18 6,18 8,16 8,10 6,7 4,6 1,6"},
    {':', "0,6 0,7;0,12 0,13"},
    {';', "1,12 1,13;1,7 1,6 0,4"},
    {'<', "8,16 0,12 8,8"},
    {'=', "0,10 8,10;0,14 8,14"},
    {'>', "0,16 8,12 0,8"},
    {'?', "0,16 2,18 6,18 8,16 8,14 4,11 4,9;4,7 4,6"},
    {'@',
     "8,11 7,10 5,10 4,11 4,13 5,14 7,14 8,13;8,14 8,11 9,10 10,10 11,12 11,15 10,17 8,18 4,18 "
     "1,16 0,13 0,10 1,7 4,5 8,5 10,6"},
    {'A', "0,6 5,18 10,6;2,10 8,10"},
    {'B', "0,6 0,18 7,18 9,16 9,14 7,12 0,12;7,12 10,10 10,8 8,6 0,6"},
    {'C', "10,16 8,18 3,18 1,17 0,15 0,9 1,7 3,6 8,6 10,8"},
    {'D', "0,6 0,18 6,18 9,16 10,13 10,11 9,8 6,6 0,6"},
    {'E', "10,18 0,18 0,6 10,6;0,12 7,12"},
    {'F', "10,18 0,18 0,6;0,12 7,12"},
    {'G', "10,16 8,18 3,18 1,17 0,15 0,9 1,7 3,6 8,6 10,8 10,12 6,12"},
    {'H', "0,6 0,18;10,6 10,18;0,12 10,12"},
    {'I', "0,18 4,18;2,18 2,6;0,6 4,6"},
    {'J', "8,18 8,9 7,7 5,6 3,6 1,7 0,9"},
    {'K', "0,6 0,18;10,18 0,10;3,13 10,6"},
    {'L', "0,18 0,6 9,6"},
    {'M', "0,6 0,18 6,10 12,18 12,6"},
    {'N', "0,6 0,18 10,6 10,18"},
    {'O', ZF_CAP_O},
    {'P', "0,6 0,18 7,18 9,17 10,15 9,13 7,12 0,12"},
    {'Q', ZF_CAP_O ";6,10 10,5"},
    {'R', "0,6 0,18 7,18 9,17 10,15 9,13 7,12 0,12;5,12 10,6"},
    {'S', "10,16 8,18 2,18 0,16 0,14 2,12 8,12 10,10 10,8 8,6 2,6 0,8"},
    {'T', "0,18 10,18;5,18 5,6"},
    {'U', "0,18 0,9 1,7 3,6 7,6 9,7 10,9 10,18"},
    {'V', "0,18 5,6 10,18"},
    {'W', "0,18 3,6 6,14 9,6 12,18"},
    {'X', "0,6 10,18;0,18 10,6"},
    {'Y', "0,18 5,12 10,18;5,12 5,6"},
    {'Z', "0,18 10,18 0,6 10,6"},
    {'[', "3,20 0,20 0,4 3,4"},
    {'\\', "0,18 8,6"},
    {']', "0,20 3,20 3,4 0,4"},
    {'^', "0,14 3,18 6,14"},
    {'_', "0,3 10,3"},
    {'`', "0,18 2,16"},
    {'a', "1,14 6,14 8,12 8,6;8,10 2,10 0,9 0,7 1,6 6,6 8,8"},
    {'b', "0,18 0,6;0,12 2,14 6,14 8,12 8,8 6,6 2,6 0,8"},
    {'c', "8,12 6,14 2,14 0,12 0,8 2,6 6,6 8,8"},
    {'d', "8,18 8,6;8,12 6,14 2,14 0,12 0,8 2,6 6,6 8,8"},
    {'e', "0,10 8,10 8,12 6,14 2,14 0,12 0,8 2,6 6,6 8,7"},
    {'f', "6,18 4,18 2,17 2,6;0,14 5,14"},
    {'g', "8,14 8,4 6,2 2,2 0,3;8,12 6,14 2,14 0,12 0,8 2,6 6,6 8,8"},
    {'h', "0,18 0,6;0,12 2,14 6,14 8,12 8,6"},
    {'i', "0,6 0,14;0,16 0,17"},
    {'j', "3,14 3,3 2,2 0,2;3,16 3,17"},
    {'k', "0,6 0,18;8,14 0,9;3,11 8,6"},
    {'l', "0,18 0,6"},
    {'m', "0,6 0,14;0,12 2,14 4,14 6,12 6,6;6,12 8,14 10,14 12,12 12,6"},
    {'n', "0,6 0,14;0,12 2,14 6,14 8,12 8,6"},
    {'o', ZF_SMALL_O},
    {'p', "0,14 0,2;0,12 2,14 6,14 8,12 8,8 6,6 2,6 0,8"},
    {'q', "8,14 8,2;8,12 6,14 2,14 0,12 0,8 2,6 6,6 8,8"},
    {'r', "0,6 0,14;0,11 3,14 6,14 7,13"},
    {'s', "8,13 7,14 1,14 0,13 0,11 1,10 7,10 8,9 8,7 7,6 1,6 0,7"},
    {'t', "2,18 2,8 3,6 5,6 6,7;0,14 5,14"},
    {'u', "0,14 0,8 2,6 6,6 8,8;8,14 8,6"},
    {'v', "0,14 4,6 8,14"},
    {'w', "0,14 3,6 6,12 9,6 12,14"},
    {'x', "0,6 8,14;0,14 8,6"},
    {'y', "0,14 4,6;8,14 3,3 2,2 0,2"},
    {'z', "0,14 8,14 0,6 8,6"},
    {'{', "4,20 2,19 2,13 0,12 2,11 2,5 4,4"},
    {'|', "0,20 0,4"},
    {'}', "0,20 2,19 2,13 4,12 2,11 2,5 0,4"},
    {'~', "0,12 1,13 3,13 5,11 7,11 8,12"},
    {127, "1,18 2,18 3,17 3,16 2,15 1,15 0,16 0,17 1,18"},  // degree sign
    {128, "4,9 4,17;0,13 8,13;0,6 8,6"},                    // plus-or-minus
    {129, ZF_RING_BIG ";0,4 12,20"},                        // diameter sign
};

constexpr PathGlyph kLatin[] = {
    {0x83, "0,2 2,2 3,3 4,14 5,17 7,18 9,18;1,12 7,12"},  // florin
    {0x84, "1,7 1,6 0,4;4,7 4,6 3,4"},                    // low double quote
    {0x85, "0,6 0,7;4,6 4,7;8,6 8,7"},                    // ellipsis
    {0x86, "4,18 4,4;1,15 7,15"},                         // dagger
    {0x87, "4,18 4,4;1,15 7,15;1,8 7,8"},                 // double dagger
    {0x88, "0,16 2,18 4,16"},                             // circumflex
    {0x89,
     "0,6 10,18;0,15 0,18 3,18 3,15 0,15;6,6 6,9 8,9 8,6 6,6;10,6 10,9 12,9 12,6 10,6"},  // per
                                                                                          // mille
    {0x8B, "3,13 0,10 3,7"},                                                       // single <
    {0x8C, "14,18 7,18 7,6 14,6;7,12 12,12;7,18 3,18 1,17 0,15 0,9 1,7 3,6 7,6"},  // OE
    {0x8D, "8,16 0,12 8,8;0,6 8,6"},                                               // less or equal
    {0x8F, "0,16 8,12 0,8;0,6 8,6"},                                    // greater or equal
    {0x90, "0,9 1,10 3,10 5,8 7,8 8,9;0,13 1,14 3,14 5,12 7,12 8,13"},  // almost equal
    {0x91, "1,15 1,16 2,18"},                                           // left quote
    {0x92, "1,18 1,17 0,15"},                                           // right quote
    {0x93, "1,15 1,16 2,18;4,15 4,16 5,18"},
    {0x94, "1,18 1,17 0,15;4,18 4,17 3,15"},
    {0x95, "0,11 2,11 2,13 0,13 0,11;0,12 2,12"},                              // bullet
    {0x96, "0,12 8,12"},                                                       // en dash
    {0x97, "0,12 14,12"},                                                      // em dash
    {0x98, "0,16 1,17 2,17 4,16 5,16 6,17"},                                   // small tilde
    {0x99, "0,18 4,18;2,18 2,12;6,12 6,18 8,15 10,18 10,12"},                  // trade mark
    {0x9B, "0,13 3,10 0,7"},                                                   // single >
    {0x9C, ZF_SMALL_O ";6,10 12,10 12,12 10,14 8,14 6,12;6,8 8,6 10,6 12,7"},  // oe
    {0xA1, "0,13 0,14;0,10 0,2"},                                              // inverted !
    {0xA2, "8,12 6,14 2,14 0,12 0,8 2,6 6,6 8,8;4,16 4,4"},                    // cent
    {0xA3, "9,16 7,18 5,18 3,16 3,6;0,6 10,6;0,12 6,12"},                      // pound
    {0xA4, "2,9 4,7 6,7 8,9 8,13 6,15 4,15 2,13 2,9;0,5 3,8;10,5 7,8;0,17 3,14;10,17 7,14"},
    {0xA5, "0,18 5,12 10,18;5,12 5,6;2,9 8,9;2,12 8,12"},  // yen
    {0xA6, "0,20 0,14;0,10 0,4"},                          // broken bar
    {0xA7, "7,18 2,18 1,17 1,15 7,12 8,11 8,10 7,9;2,15 1,14 1,13 2,12 8,9 8,7 7,6 2,6"},
    {0xA8, "0,16 0,17;3,16 3,17"},                                   // diaeresis
    {0xA9, ZF_RING_BIG ";8,11 7,10 5,10 4,11 4,13 5,14 7,14 8,13"},  // copyright
    {0xAA, "1,18 4,18 5,17 5,13;5,15 1,15 0,14 1,13 5,13;0,11 5,11"},
    {0xAB, "3,13 0,10 3,7;7,13 4,10 7,7"},                           // <<
    {0xAC, "0,12 8,12 8,9"},                                         // not
    {0xAE, ZF_RING_BIG ";4,10 4,15 7,15 8,14 7,12 4,12;6,12 8,10"},  // registered
    {0xAF, "0,20 8,20"},                                             // macron
    {0xB2, "0,17 1,18 3,18 4,17 4,16 0,12 4,12"},
    {0xB3, "0,18 4,18 2,16 3,16 4,15 4,13 3,12 1,12 0,13"},
    {0xB4, "0,16 2,18"},                                              // acute
    {0xB5, "0,14 0,2;0,8 2,6 6,6 8,8;8,14 8,6"},                      // micro
    {0xB6, "5,6 5,18 10,18;8,18 8,6;5,18 2,18 0,16 0,14 2,12 5,12"},  // pilcrow
    {0xB7, "0,12 0,13"},                                              // middle dot
    {0xB8, "1,6 1,4 2,4 3,3 2,2 0,2"},                                // cedilla
    {0xB9, "0,16 2,18 2,12"},
    {0xBA, "1,13 3,13 4,14 4,17 3,18 1,18 0,17 0,14 1,13;0,11 4,11"},
    {0xBB, "0,13 3,10 0,7;4,13 7,10 4,7"},  // >>
    {0xBC, "0,16 2,18 2,12;1,6 11,18;10,6 10,12 7,8 11,8"},
    {0xBD, "0,16 2,18 2,12;1,6 11,18;7,11 8,12 10,12 11,11 11,10 7,6 11,6"},
    {0xBE, "0,18 4,18 2,16 3,16 4,15 4,13 3,12 1,12 0,13;2,6 12,18;11,6 11,12 8,8 12,8"},
    {0xBF, "4,14 4,13;4,11 4,9 0,6 0,4 2,2 6,2 8,4"},                            // inverted ?
    {0xC6, "0,6 6,18 14,18;6,18 6,6 14,6;6,12 12,12;2,10 6,10"},                 // AE
    {0xD0, "2,6 2,18 8,18 11,16 12,13 12,11 11,8 8,6 2,6;0,12 5,12"},            // Eth
    {0xD7, "0,8 8,16;0,16 8,8"},                                                 // times
    {0xD8, ZF_CAP_O ";0,5 10,19"},                                               // O slash
    {0xDE, "0,6 0,18;0,15 7,15 9,14 10,12 9,10 7,9 0,9"},                        // Thorn
    {0xDF, "0,6 0,15 1,17 3,18 5,18 7,17 8,15 7,13 5,12 7,11 8,9 8,8 6,6 4,6"},  // sharp s
    {0xE6,
     "1,14 4,14 6,12 6,6;6,10 2,10 0,9 0,7 1,6 4,6 6,8;6,10 12,10 12,12 10,14 8,14 6,12;"
     "6,8 8,6 10,6 12,7"},                                   // ae
    {0xF0, ZF_SMALL_O ";8,11 7,16 4,18;4,15 8,17"},          // eth
    {0xF7, "0,12 8,12;4,15 4,16;4,8 4,9"},                   // divide
    {0xF8, ZF_SMALL_O ";0,5 8,15"},                          // o slash
    {0xFE, "0,18 0,2;0,12 2,14 6,14 8,12 8,8 6,6 2,6 0,8"},  // thorn
};

constexpr AccentGlyph kLatinAccented[] = {
    {4, 129, Accent::kNone, 0},  // diameter sign of the diameter texts
    {7, 127, Accent::kNone, 0},  // degree sign of the angle texts
    {0x82, ',', Accent::kNone, 0},
    {0x8A, 'S', Accent::kCaron, kCapLevel},
    {0x8E, 'Z', Accent::kCaron, kCapLevel},
    {0x9A, 's', Accent::kCaron, kSmallLevel},
    {0x9E, 'z', Accent::kCaron, kSmallLevel},
    {0x9F, 'Y', Accent::kDiaeresis, kCapLevel},
    {0xAD, '-', Accent::kNone, 0},
    {0xB0, 127, Accent::kNone, 0},
    {0xB1, 128, Accent::kNone, 0},
    {0xC0, 'A', Accent::kGrave, kCapLevel},
    {0xC1, 'A', Accent::kAcute, kCapLevel},
    {0xC2, 'A', Accent::kCircumflex, kCapLevel},
    {0xC3, 'A', Accent::kTilde, kCapLevel},
    {0xC4, 'A', Accent::kDiaeresis, kCapLevel},
    {0xC5, 'A', Accent::kRing, kCapLevel},
    {0xC7, 'C', Accent::kCedilla, 0},
    {0xC8, 'E', Accent::kGrave, kCapLevel},
    {0xC9, 'E', Accent::kAcute, kCapLevel},
    {0xCA, 'E', Accent::kCircumflex, kCapLevel},
    {0xCB, 'E', Accent::kDiaeresis, kCapLevel},
    {0xCC, 'I', Accent::kGrave, kCapLevel},
    {0xCD, 'I', Accent::kAcute, kCapLevel},
    {0xCE, 'I', Accent::kCircumflex, kCapLevel},
    {0xCF, 'I', Accent::kDiaeresis, kCapLevel},
    {0xD1, 'N', Accent::kTilde, kCapLevel},
    {0xD2, 'O', Accent::kGrave, kCapLevel},
    {0xD3, 'O', Accent::kAcute, kCapLevel},
    {0xD4, 'O', Accent::kCircumflex, kCapLevel},
    {0xD5, 'O', Accent::kTilde, kCapLevel},
    {0xD6, 'O', Accent::kDiaeresis, kCapLevel},
    {0xD9, 'U', Accent::kGrave, kCapLevel},
    {0xDA, 'U', Accent::kAcute, kCapLevel},
    {0xDB, 'U', Accent::kCircumflex, kCapLevel},
    {0xDC, 'U', Accent::kDiaeresis, kCapLevel},
    {0xDD, 'Y', Accent::kAcute, kCapLevel},
    {0xE0, 'a', Accent::kGrave, kSmallLevel},
    {0xE1, 'a', Accent::kAcute, kSmallLevel},
    {0xE2, 'a', Accent::kCircumflex, kSmallLevel},
    {0xE3, 'a', Accent::kTilde, kSmallLevel},
    {0xE4, 'a', Accent::kDiaeresis, kSmallLevel},
    {0xE5, 'a', Accent::kRing, kSmallLevel},
    {0xE7, 'c', Accent::kCedilla, 0},
    {0xE8, 'e', Accent::kGrave, kSmallLevel},
    {0xE9, 'e', Accent::kAcute, kSmallLevel},
    {0xEA, 'e', Accent::kCircumflex, kSmallLevel},
    {0xEB, 'e', Accent::kDiaeresis, kSmallLevel},
    {0xEC, kDotlessI, Accent::kGrave, kSmallLevel},
    {0xED, kDotlessI, Accent::kAcute, kSmallLevel},
    {0xEE, kDotlessI, Accent::kCircumflex, kSmallLevel},
    {0xEF, kDotlessI, Accent::kDiaeresis, kSmallLevel},
    {0xF1, 'n', Accent::kTilde, kSmallLevel},
    {0xF2, 'o', Accent::kGrave, kSmallLevel},
    {0xF3, 'o', Accent::kAcute, kSmallLevel},
    {0xF4, 'o', Accent::kCircumflex, kSmallLevel},
    {0xF5, 'o', Accent::kTilde, kSmallLevel},
    {0xF6, 'o', Accent::kDiaeresis, kSmallLevel},
    {0xF9, 'u', Accent::kGrave, kSmallLevel},
    {0xFA, 'u', Accent::kAcute, kSmallLevel},
    {0xFB, 'u', Accent::kCircumflex, kSmallLevel},
    {0xFC, 'u', Accent::kDiaeresis, kSmallLevel},
    {0xFD, 'y', Accent::kAcute, kSmallLevel},
    {0xFF, 'y', Accent::kDiaeresis, kSmallLevel},
};

// windows-1251: 0xC0..0xDF capitals A..YA, 0xE0..0xFF small letters.
constexpr PathGlyph kCyrillic[] = {
    {0xB9, "0,6 0,18 7,6 7,18;10,14 12,14 13,13 13,11 12,10 10,10 9,11 9,13 10,14;9,8 13,8"},
    {0xC1, "10,18 0,18 0,6 7,6 9,7 10,9 9,11 7,12 0,12"},                      // BE
    {0xC3, "10,18 0,18 0,6"},                                                  // GHE
    {0xC4, "0,3 0,6 12,6 12,3;10,6 10,18 4,18 3,10 1,6"},                      // DE
    {0xC6, "6,6 6,18;0,18 4,12 0,6;12,18 8,12 12,6;4,12 8,12"},                // ZHE
    {0xC7, "0,16 2,18 7,18 9,16 9,14 7,12 4,12;7,12 10,10 10,8 8,6 2,6 0,8"},  // ZE
    {0xC8, "0,18 0,6 10,18 10,6"},                                             // I
    {0xCA, "0,6 0,18;0,12 3,12 9,18;3,12 10,6"},                               // KA
    {0xCB, "0,6 2,7 3,10 4,18 10,18 10,6"},                                    // EL
    {0xCF, "0,6 0,18 10,18 10,6"},                                             // PE
    {0xD3, "0,18 5,10;10,18 4,7 2,6 0,6"},                                     // U
    {0xD4, "6,6 6,18;2,16 10,16 12,14 12,10 10,8 2,8 0,10 0,14 2,16"},         // EF
    {0xD6, "0,18 0,6 10,6 10,18;10,6 12,6 12,3"},                              // TSE
    {0xD7, "0,18 0,13 2,11 10,11;10,18 10,6"},                                 // CHE
    {0xD8, "0,18 0,6 12,6 12,18;6,18 6,6"},                                    // SHA
    {0xD9, "0,18 0,6 12,6 12,18;6,18 6,6;12,6 14,6 14,3"},                     // SHCHA
    {0xDA, "0,18 3,18 3,6 8,6 10,8 10,10 8,12 3,12"},                          // hard sign
    {0xDB, "0,18 0,6 5,6 7,8 7,10 5,12 0,12;11,18 11,6"},                      // YERU
    {0xDC, "0,18 0,6 7,6 9,8 9,10 7,12 0,12"},                                 // soft sign
    {0xDD, "0,16 2,18 7,18 9,17 10,15 10,9 9,7 7,6 2,6 0,8;3,12 10,12"},       // E
    {0xDE, "0,6 0,18;0,12 3,12;3,9 4,7 6,6 8,6 10,7 11,9 11,15 10,17 8,18 6,18 4,17 3,15 3,9"},
    {0xDF, "10,6 10,18 3,18 1,17 0,15 1,13 3,12 10,12;4,12 0,6"},  // YA
    {0xE1, "7,18 3,17 1,15 0,12 0,8 2,6 6,6 8,8 8,11 6,13 2,13 0,11"},
    {0xE2, "0,6 0,14 5,14 7,12 5,10 0,10;5,10 8,8 6,6 0,6"},
    {0xE3, "7,14 0,14 0,6"},
    {0xE4, "0,3 0,6 10,6 10,3;8,6 8,14 3,14 2,8 1,6"},
    {0xE6, "5,6 5,14;0,14 3,10 0,6;10,14 7,10 10,6;3,10 7,10"},
    {0xE7, "0,13 1,14 6,14 7,13 7,11 5,10 3,10;5,10 8,9 8,7 7,6 1,6 0,7"},
    {0xE8, "0,14 0,6 8,14 8,6"},
    {0xEA, "0,6 0,14;0,10 2,10 6,14;2,10 7,6"},
    {0xEB, "0,6 1,7 2,10 3,14 8,14 8,6"},
    {0xEC, "0,6 0,14 5,9 10,14 10,6"},
    {0xED, "0,6 0,14;8,6 8,14;0,10 8,10"},
    {0xEF, "0,6 0,14 8,14 8,6"},
    {0xF2, "0,14 8,14;4,14 4,6"},
    {0xF4, "5,2 5,18;5,14 2,14 0,12 0,8 2,6 8,6 10,8 10,12 8,14 5,14"},
    {0xF6, "0,14 0,6 8,6 8,14;8,6 10,6 10,3"},
    {0xF7, "0,14 0,11 2,9 8,9;8,14 8,6"},
    {0xF8, "0,14 0,6 10,6 10,14;5,14 5,6"},
    {0xF9, "0,14 0,6 10,6 10,14;5,14 5,6;10,6 12,6 12,3"},
    {0xFA, "0,14 2,14 2,6 6,6 8,7 8,9 6,10 2,10"},
    {0xFB, "0,14 0,6 4,6 6,7 6,9 4,10 0,10;9,14 9,6"},
    {0xFC, "0,14 0,6 5,6 7,7 7,9 5,10 0,10"},
    {0xFD, "0,13 1,14 6,14 8,12 8,8 6,6 1,6 0,7;3,10 8,10"},
    {0xFE, "0,6 0,14;0,10 3,10;5,6 7,6 9,8 9,12 7,14 5,14 3,12 3,8 5,6"},
    {0xFF, "8,6 8,14 2,14 0,13 0,11 2,10 8,10;3,10 0,6"},
};

constexpr AccentGlyph kCyrillicAccented[] = {
    {4, 129, Accent::kNone, 0},  // diameter sign of the diameter texts
    {7, 127, Accent::kNone, 0},  // degree sign of the angle texts
    {0xA8, 'E', Accent::kDiaeresis, kCapLevel},    // IO
    {0xB8, 'e', Accent::kDiaeresis, kSmallLevel},  // io
    {0xB0, 127, Accent::kNone, 0},
    {0xB1, 128, Accent::kNone, 0},
    {0xC0, 'A', Accent::kNone, 0},
    {0xC2, 'B', Accent::kNone, 0},
    {0xC5, 'E', Accent::kNone, 0},
    {0xC9, 0xC8, Accent::kBreve, kCapLevel},  // short I
    {0xCC, 'M', Accent::kNone, 0},
    {0xCD, 'H', Accent::kNone, 0},
    {0xCE, 'O', Accent::kNone, 0},
    {0xD0, 'P', Accent::kNone, 0},
    {0xD1, 'C', Accent::kNone, 0},
    {0xD2, 'T', Accent::kNone, 0},
    {0xD5, 'X', Accent::kNone, 0},
    {0xE0, 'a', Accent::kNone, 0},
    {0xE5, 'e', Accent::kNone, 0},
    {0xE9, 0xE8, Accent::kBreve, kSmallLevel},  // short i
    {0xEE, 'o', Accent::kNone, 0},
    {0xF0, 'p', Accent::kNone, 0},
    {0xF1, 'c', Accent::kNone, 0},
    {0xF3, 'y', Accent::kNone, 0},
    {0xF5, 'x', Accent::kNone, 0},
};

}  // namespace

Table<PathGlyph> ascii_glyphs() {
    return {kAscii, std::size(kAscii)};
}
Table<PathGlyph> latin_glyphs() {
    return {kLatin, std::size(kLatin)};
}
Table<AccentGlyph> latin_accented() {
    return {kLatinAccented, std::size(kLatinAccented)};
}
Table<PathGlyph> cyrillic_glyphs() {
    return {kCyrillic, std::size(kCyrillic)};
}
Table<AccentGlyph> cyrillic_accented() {
    return {kCyrillicAccented, std::size(kCyrillicAccented)};
}

const char* accent_path(Accent accent) {
    switch (accent) {
        case Accent::kNone:
            return "";
        case Accent::kGrave:
            return "-1,2 1,0";
        case Accent::kAcute:
            return "-1,0 1,2";
        case Accent::kCircumflex:
            return "-2,0 0,2 2,0";
        case Accent::kTilde:
            return "-3,0 -2,1 -1,1 1,0 2,0 3,1";
        case Accent::kDiaeresis:
            return "-2,0 -2,1;2,0 2,1";
        case Accent::kRing:
            return "0,0 1,1 0,2 -1,1 0,0";
        case Accent::kCaron:
            return "-2,2 0,0 2,2";
        case Accent::kBreve:
            return "-2,2 -1,0 1,0 2,2";
        case Accent::kCedilla:
            return "0,6 0,5 1,4 1,3 0,2 -1,2";
    }
    return "";
}

}  // namespace builtin_glyphs
