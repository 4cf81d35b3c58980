#include "utils/unit_names.h"

#include "utils/tavlin_si_units.h"

namespace tvl {

// clang-format off
constexpr unit_name unit_name_table[kUnitNameCount] = {
    {"atmosphere_technical",    20, 127},  // atmosphere_technical
    {"newton_temperature",      18, 369},  // newton_temperature
    {"metric_horsepower",       17, 123},  // metric_horsepower
    {"preussischer_fuss",       17, 354},  // preussischer_fuss
    {"prussian_scheffel",       17, 360},  // prussian_scheffel
    {"standard_gravity",        16, 122},  // standard_gravity
    {"preussische_elle",        16, 355},  // preussische_elle
    {"preussische_rute",        16, 356},  // preussische_rute
    {"prussian_klafter",        16, 357},  // prussian_klafter
    {"fluid_ounces_uk",         15, 108},  // fluid_ounces_uk
    {"prussian_morgen",         15, 359},  // prussian_morgen
    {"nautical_miles",          14,  49},  // nautical_miles
    {"fluid_ounce_uk",          14, 108},  // fluid_ounce_uk
    {"kilogram_force",          14, 112},  // kilogram_force
    {"deutsche_meile",          14, 358},  // deutsche_meile
    {"per_cent_mille",          14, 375},  // per_cent_mille
    {"electronvolts",           13,  39},  // electronvolts
    {"nautical_mile",           13,  49},  // nautical_mile
    {"doppelzentner",           13, 350},  // doppelzentner
    {"prussian_line",           13, 352},  // prussian_line
    {"prussian_zoll",           13, 353},  // prussian_zoll
    {"prussian_fuss",           13, 354},  // prussian_fuss
    {"prussian_elle",           13, 355},  // prussian_elle
    {"prussian_rute",           13, 356},  // prussian_rute
    {"electronvolt",            12,  39},  // electronvolt
    {"fluid_ounces",            12,  82},  // fluid_ounces
    {"volt_amperes",            12, 111},  // volt_amperes
    {"inch_mercury",            12, 113},  // inch_mercury
    {"pennyweights",            12, 117},  // pennyweights
    {"light_years",             11,  51},  // light_years
    {"troy_ounces",             11,  61},  // troy_ounces
    {"atmospheres",             11,  64},  // atmospheres
    {"pound_force",             11,  73},  // pound_force
    {"fluid_ounce",             11,  82},  // fluid_ounce
    {"tablespoons",             11,  83},  // tablespoons
    {"volt_ampere",             11, 111},  // volt_ampere
    {"foot_pounds",             11, 115},  // foot_pounds
    {"pennyweight",             11, 117},  // pennyweight
    {"revolutions",             11, 124},  // revolutions
    {"fluid_drams",             11, 130},  // fluid_drams
    {"german_mile",             11, 358},  // german_mile
    {"survey_foot",             11, 361},  // survey_foot
    {"becquerels",              10,  25},  // becquerels
    {"steradians",              10,  36},  // steradians
    {"light_year",              10,  51},  // light_year
    {"short_tons",              10,  59},  // short_tons
    {"troy_ounce",              10,  61},  // troy_ounce
    {"fahrenheit",              10,  63},  // fahrenheit
    {"atmosphere",              10,  64},  // atmosphere
    {"horsepower",              10,  72},  // horsepower
    {"gallons_uk",              10,  78},  // gallons_uk
    {"tablespoon",              10,  83},  // tablespoon
    {"arcminutes",              10,  88},  // arcminutes
    {"arcseconds",              10,  89},  // arcseconds
    {"foot_pound",              10, 115},  // foot_pound
    {"revolution",              10, 124},  // revolution
    {"fortnights",              10, 126},  // fortnights
    {"fluid_dram",              10, 130},  // fluid_dram
    {"per_myriad",              10, 374},  // per_myriad
    {"becquerel",                9,  25},  // becquerel
    {"steradian",                9,  36},  // steradian
    {"angstroms",                9,  50},  // angstroms
    {"short_ton",                9,  59},  // short_ton
    {"long_tons",                9,  60},  // long_tons
    {"gallon_uk",                9,  78},  // gallon_uk
    {"teaspoons",                9,  84},  // teaspoons
    {"arcminute",                9,  88},  // arcminute
    {"arcsecond",                9,  89},  // arcsecond
    {"roentgens",                9, 100},  // roentgens
    {"degreesRa",                9, 104},  // degreesRa
    {"quarts_uk",                9, 109},  // quarts_uk
    {"fortnight",                9, 126},  // fortnight
    {"degreesDe",                9, 368},  // degreesDe
    {"degreesRe",                9, 370},  // degreesRe
    {"degreesRo",                9, 371},  // degreesRo
    {"per_mille",                9, 373},  // per_mille
    {"candelas",                 8,   9},  // candelas
    {"coulombs",                 8,  18},  // coulombs
    {"sieverts",                 8,  27},  // sieverts
    {"degreesC",                 8,  34},  // degreesC
    {"hectares",                 8,  42},  // hectares
    {"angstrom",                 8,  50},  // angstrom
    {"furlongs",                 8,  53},  // furlongs
    {"long_ton",                 8,  60},  // long_ton
    {"degreesF",                 8,  63},  // degreesF
    {"calories",                 8,  68},  // calories
    {"teaspoon",                 8,  84},  // teaspoon
    {"gradians",                 8,  90},  // gradians
    {"maxwells",                 8,  94},  // maxwells
    {"oersteds",                 8,  95},  // oersteds
    {"galileos",                 8,  98},  // galileos
    {"roentgen",                 8, 100},  // roentgen
    {"decibels",                 8, 103},  // decibels
    {"degreeRa",                 8, 104},  // degreeRa
    {"pints_uk",                 8, 107},  // pints_uk
    {"fl_oz_uk",                 8, 108},  // fl_oz_uk
    {"quart_uk",                 8, 109},  // quart_uk
    {"gills_uk",                 8, 121},  // gills_uk
    {"fl_drams",                 8, 130},  // fl_drams
    {"scheffel",                 8, 360},  // scheffel
    {"quintals",                 8, 365},  // quintals
    {"scruples",                 8, 366},  // scruples
    {"degreeDe",                 8, 368},  // degreeDe
    {"degreesN",                 8, 369},  // degreesN
    {"degreeRe",                 8, 370},  // degreeRe
    {"degreeRo",                 8, 371},  // degreeRo
    {"seconds",                  7,   3},  // seconds
    {"amperes",                  7,   6},  // amperes
    {"kelvins",                  7,   7},  // kelvins
    {"candela",                  7,   9},  // candela
    {"newtons",                  7,  11},  // newtons
    {"pascals",                  7,  12},  // pascals
    {"coulomb",                  7,  18},  // coulomb
    {"siemens",                  7,  19},  // siemens
    {"henries",                  7,  22},  // henries
    {"sievert",                  7,  27},  // sievert
    {"minutes",                  7,  30},  // minutes
    {"degrees",                  7,  33},  // degrees
    {"celsius",                  7,  34},  // celsius
    {"degreeC",                  7,  34},  // degreeC
    {"radians",                  7,  35},  // radians
    {"daltons",                  7,  40},  // daltons
    {"hectare",                  7,  42},  // hectare
    {"parsecs",                  7,  52},  // parsecs
    {"furlong",                  7,  53},  // furlong
    {"fathoms",                  7,  54},  // fathoms
    {"degreeF",                  7,  63},  // degreeF
    {"calorie",                  7,  68},  // calorie
    {"gallons",                  7,  77},  // gallons
    {"barrels",                  7,  85},  // barrels
    {"gradian",                  7,  90},  // gradian
    {"maxwell",                  7,  94},  // maxwell
    {"oersted",                  7,  95},  // oersted
    {"galileo",                  7,  98},  // galileo
    {"decibel",                  7, 103},  // decibel
    {"rankine",                  7, 104},  // rankine
    {"pint_uk",                  7, 107},  // pint_uk
    {"inch_hg",                  7, 113},  // inch_hg
    {"gill_uk",                  7, 121},  // gill_uk
    {"deniers",                  7, 129},  // deniers
    {"bushels",                  7, 133},  // bushels
    {"zentner",                  7, 349},  // zentner
    {"klafter",                  7, 357},  // klafter
    {"leagues",                  7, 362},  // leagues
    {"quintal",                  7, 365},  // quintal
    {"scruple",                  7, 366},  // scruple
    {"delisle",                  7, 368},  // delisle
    {"degreeN",                  7, 369},  // degreeN
    {"reaumur",                  7, 370},  // reaumur
    {"percent",                  7, 372},  // percent
    {"second",                   6,   3},  // second
    {"metres",                   6,   4},  // metres
    {"meters",                   6,   4},  // meters
    {"ampere",                   6,   6},  // ampere
    {"kelvin",                   6,   7},  // kelvin
    {"newton",                   6,  11},  // newton
    {"pascal",                   6,  12},  // pascal
    {"joules",                   6,  13},  // joules
    {"farads",                   6,  17},  // farads
    {"webers",                   6,  20},  // webers
    {"teslas",                   6,  21},  // teslas
    {"henrys",                   6,  22},  // henrys
    {"lumens",                   6,  23},  // lumens
    {"katals",                   6,  28},  // katals
    {"litres",                   6,  29},  // litres
    {"liters",                   6,  29},  // liters
    {"minute",                   6,  30},  // minute
    {"degree",                   6,  33},  // degree
    {"radian",                   6,  35},  // radian
    {"tonnes",                   6,  37},  // tonnes
    {"dalton",                   6,  40},  // dalton
    {"inches",                   6,  45},  // inches
    {"parsec",                   6,  52},  // parsec
    {"fathom",                   6,  54},  // fathom
    {"pounds",                   6,  55},  // pounds
    {"ounces",                   6,  56},  // ounces
    {"grains",                   6,  57},  // grains
    {"stones",                   6,  58},  // stones
    {"carats",                   6,  62},  // carats
    {"therms",                   6,  71},  // therms
    {"gallon",                   6,  77},  // gallon
    {"gal_uk",                   6,  78},  // gal_uk
    {"quarts",                   6,  79},  // quarts
    {"barrel",                   6,  85},  // barrel
    {"arcmin",                   6,  88},  // arcmin
    {"arcsec",                   6,  89},  // arcsec
    {"poises",                   6,  91},  // poises
    {"stokes",                   6,  92},  // stokes
    {"stilbs",                   6,  96},  // stilbs
    {"curies",                   6,  99},  // curies
    {"nepers",                   6, 102},  // nepers
    {"degrRa",                   6, 104},  // degrRa
    {"chains",                   6, 118},  // chains
    {"months",                   6, 125},  // months
    {"denier",                   6, 129},  // denier
    {"minims",                   6, 131},  // minims
    {"bushel",                   6, 133},  // bushel
    {"pfunds",                   6, 348},  // pfunds
    {"morgen",                   6, 359},  // morgen
    {"schffl",                   6, 360},  // schffl
    {"league",                   6, 362},  // league
    {"cables",                   6, 363},  // cables
    {"degrDe",                   6, 368},  // degrDe
    {"degrRe",                   6, 370},  // degrRe
    {"degrRo",                   6, 371},  // degrRo
    {"Bytes",                    5,   2},  // Bytes
    {"bytes",                    5,   2},  // bytes
    {"metre",                    5,   4},  // metre
    {"meter",                    5,   4},  // meter
    {"grams",                    5,   5},  // grams
    {"moles",                    5,   8},  // moles
    {"hertz",                    5,  10},  // hertz
    {"joule",                    5,  13},  // joule
    {"watts",                    5,  14},  // watts
    {"volts",                    5,  15},  // volts
    {"farad",                    5,  17},  // farad
    {"weber",                    5,  20},  // weber
    {"tesla",                    5,  21},  // tesla
    {"henry",                    5,  22},  // henry
    {"lumen",                    5,  23},  // lumen
    {"grays",                    5,  26},  // grays
    {"katal",                    5,  28},  // katal
    {"litre",                    5,  29},  // litre
    {"liter",                    5,  29},  // liter
    {"hours",                    5,  31},  // hours
    {"degrC",                    5,  34},  // degrC
    {"tonne",                    5,  37},  // tonne
    {"weeks",                    5,  43},  // weeks
    {"years",                    5,  44},  // years
    {"yards",                    5,  47},  // yards
    {"miles",                    5,  48},  // miles
    {"pound",                    5,  55},  // pound
    {"ounce",                    5,  56},  // ounce
    {"grain",                    5,  57},  // grain
    {"stone",                    5,  58},  // stone
    {"tn_sh",                    5,  59},  // tn_sh
    {"carat",                    5,  62},  // carat
    {"degrF",                    5,  63},  // degrF
    {"therm",                    5,  71},  // therm
    {"dynes",                    5,  74},  // dynes
    {"knots",                    5,  76},  // knots
    {"quart",                    5,  79},  // quart
    {"pints",                    5,  80},  // pints
    {"fl_oz",                    5,  82},  // fl_oz
    {"acres",                    5,  86},  // acres
    {"barns",                    5,  87},  // barns
    {"poise",                    5,  91},  // poise
    {"stoke",                    5,  92},  // stoke
    {"gauss",                    5,  93},  // gauss
    {"stilb",                    5,  96},  // stilb
    {"phots",                    5,  97},  // phots
    {"curie",                    5,  99},  // curie
    {"neper",                    5, 102},  // neper
    {"degRa",                    5, 104},  // degRa
    {"slugs",                    5, 105},  // slugs
    {"pt_uk",                    5, 107},  // pt_uk
    {"qt_uk",                    5, 109},  // qt_uk
    {"ft_lb",                    5, 115},  // ft_lb
    {"drams",                    5, 116},  // drams
    {"chain",                    5, 118},  // chain
    {"gills",                    5, 120},  // gills
    {"gi_uk",                    5, 121},  // gi_uk
    {"turns",                    5, 124},  // turns
    {"month",                    5, 125},  // month
    {"fl_dr",                    5, 130},  // fl_dr
    {"minim",                    5, 131},  // minim
    {"pecks",                    5, 132},  // pecks
    {"pfund",                    5, 348},  // pfund
    {"linie",                    5, 352},  // linie
    {"dt_mi",                    5, 358},  // dt_mi
    {"cable",                    5, 363},  // cable
    {"hands",                    5, 364},  // hands
    {"bauds",                    5, 367},  // bauds
    {"degDe",                    5, 368},  // degDe
    {"degrN",                    5, 369},  // degrN
    {"degRe",                    5, 370},  // degRe
    {"degRo",                    5, 371},  // degRo
    {"romer",                    5, 371},  // romer
    {"bits",                     4,   1},  // bits
    {"Byte",                     4,   2},  // Byte
    {"byte",                     4,   2},  // byte
    {"gram",                     4,   5},  // gram
    {"amps",                     4,   6},  // amps
    {"mole",                     4,   8},  // mole
    {"watt",                     4,  14},  // watt
    {"volt",                     4,  15},  // volt
    {"ohms",                     4,  16},  // ohms
    {"gray",                     4,  26},  // gray
    {"hour",                     4,  31},  // hour
    {"days",                     4,  32},  // days
    {"degr",                     4,  33},  // degr
    {"degC",                     4,  34},  // degC
    {"bars",                     4,  38},  // bars
    {"week",                     4,  43},  // week
    {"year",                     4,  44},  // year
    {"inch",                     4,  45},  // inch
    {"foot",                     4,  46},  // foot
    {"feet",                     4,  46},  // feet
    {"yard",                     4,  47},  // yard
    {"mile",                     4,  48},  // mile
    {"fath",                     4,  54},  // fath
    {"tn_l",                     4,  60},  // tn_l
    {"oz_t",                     4,  61},  // oz_t
    {"degF",                     4,  63},  // degF
    {"mmHg",                     4,  65},  // mmHg
    {"Torr",                     4,  66},  // Torr
    {"torr",                     4,  66},  // torr
    {"ergs",                     4,  70},  // ergs
    {"dyne",                     4,  74},  // dyne
    {"kips",                     4,  75},  // kips
    {"knot",                     4,  76},  // knot
    {"pint",                     4,  80},  // pint
    {"cups",                     4,  81},  // cups
    {"tbsp",                     4,  83},  // tbsp
    {"acre",                     4,  86},  // acre
    {"barn",                     4,  87},  // barn
    {"grad",                     4,  90},  // grad
    {"phot",                     4,  97},  // phot
    {"rems",                     4, 101},  // rems
    {"\xC2\xB0Ra",               4, 104},  // °Ra
    {"slug",                     4, 105},  // slug
    {"thou",                     4, 106},  // thou
    {"vars",                     4, 110},  // vars
    {"inHg",                     4, 113},  // inHg
    {"dram",                     4, 116},  // dram
    {"rods",                     4, 119},  // rods
    {"gill",                     4, 120},  // gill
    {"turn",                     4, 124},  // turn
    {"peck",                     4, 132},  // peck
    {"lots",                     4, 351},  // lots
    {"prln",                     4, 352},  // prln
    {"zoll",                     4, 353},  // zoll
    {"elle",                     4, 355},  // elle
    {"rute",                     4, 356},  // rute
    {"ftUS",                     4, 361},  // ftUS
    {"hand",                     4, 364},  // hand
    {"qntl",                     4, 365},  // qntl
    {"baud",                     4, 367},  // baud
    {"\xC2\xB0" "De",            4, 368},  // °De
    {"degN",                     4, 369},  // degN
    {"\xC2\xB0Re",               4, 370},  // °Re
    {"\xC2\xB0Ro",               4, 371},  // °Ro
    {"bit",                      3,   1},  // bit
    {"sec",                      3,   3},  // sec
    {"amp",                      3,   6},  // amp
    {"mol",                      3,   8},  // mol
    {"\xE2\x84\xA6",             3,  16},  // Ω
    {"ohm",                      3,  16},  // ohm
    {"lux",                      3,  24},  // lux
    {"kat",                      3,  28},  // kat
    {"min",                      3,  30},  // min
    {"day",                      3,  32},  // day
    {"deg",                      3,  33},  // deg
    {"\xC2\xB0" "C",             3,  34},  // °C
    {"rad",                      3,  35},  // rad
    {"bar",                      3,  38},  // bar
    {"nmi",                      3,  49},  // nmi
    {"\xE2\x84\xAB",             3,  50},  // Å
    {"fur",                      3,  53},  // fur
    {"lbs",                      3,  55},  // lbs
    {"\xC2\xB0" "F",             3,  63},  // °F
    {"atm",                      3,  64},  // atm
    {"psi",                      3,  67},  // psi
    {"cal",                      3,  68},  // cal
    {"Btu",                      3,  69},  // Btu
    {"BTU",                      3,  69},  // BTU
    {"btu",                      3,  69},  // btu
    {"erg",                      3,  70},  // erg
    {"thm",                      3,  71},  // thm
    {"lbf",                      3,  73},  // lbf
    {"dyn",                      3,  74},  // dyn
    {"kip",                      3,  75},  // kip
    {"gal",                      3,  77},  // gal
    {"cup",                      3,  81},  // cup
    {"tsp",                      3,  84},  // tsp
    {"bbl",                      3,  85},  // bbl
    {"gon",                      3,  90},  // gon
    {"Gal",                      3,  98},  // Gal
    {"rem",                      3, 101},  // rem
    {"mil",                      3, 106},  // mil
    {"var",                      3, 110},  // var
    {"kgf",                      3, 112},  // kgf
    {"rpm",                      3, 114},  // rpm
    {"dwt",                      3, 117},  // dwt
    {"rod",                      3, 119},  // rod
    {"rev",                      3, 124},  // rev
    {"tex",                      3, 128},  // tex
    {"den",                      3, 129},  // den
    {"bsh",                      3, 133},  // bsh
    {"Pfd",                      3, 348},  // Pfd
    {"Ztr",                      3, 349},  // Ztr
    {"lot",                      3, 351},  // lot
    {"prz",                      3, 353},  // prz
    {"prf",                      3, 354},  // prf
    {"lea",                      3, 362},  // lea
    {"cbl",                      3, 363},  // cbl
    {"\xC2\xB0N",                3, 369},  // °N
    {"\xE2\x80\xB0",             3, 373},  // ‰
    {"\xE2\x80\xB1",             3, 374},  // ‱
    {"pcm",                      3, 375},  // pcm
    {"ppm",                      3, 376},  // ppm
    {"ppb",                      3, 377},  // ppb
    {"cd",                       2,   9},  // cd
    {"Hz",                       2,  10},  // Hz
    {"Pa",                       2,  12},  // Pa
    {"Wb",                       2,  20},  // Wb
    {"lm",                       2,  23},  // lm
    {"lx",                       2,  24},  // lx
    {"Bq",                       2,  25},  // Bq
    {"Gy",                       2,  26},  // Gy
    {"Sv",                       2,  27},  // Sv
    {"\xC2\xB0",                 2,  33},  // °
    {"sr",                       2,  36},  // sr
    {"eV",                       2,  39},  // eV
    {"Da",                       2,  40},  // Da
    {"au",                       2,  41},  // au
    {"ha",                       2,  42},  // ha
    {"wk",                       2,  43},  // wk
    {"yr",                       2,  44},  // yr
    {"in",                       2,  45},  // in
    {"ft",                       2,  46},  // ft
    {"yd",                       2,  47},  // yd
    {"mi",                       2,  48},  // mi
    {"\xC3\x85",                 2,  50},  // Å
    {"ly",                       2,  51},  // ly
    {"pc",                       2,  52},  // pc
    {"lb",                       2,  55},  // lb
    {"oz",                       2,  56},  // oz
    {"gr",                       2,  57},  // gr
    {"st",                       2,  58},  // st
    {"ct",                       2,  62},  // ct
    {"hp",                       2,  72},  // hp
    {"kn",                       2,  76},  // kn
    {"qt",                       2,  79},  // qt
    {"pt",                       2,  80},  // pt
    {"ac",                       2,  86},  // ac
    {"St",                       2,  92},  // St
    {"Mx",                       2,  94},  // Mx
    {"Oe",                       2,  95},  // Oe
    {"sb",                       2,  96},  // sb
    {"ph",                       2,  97},  // ph
    {"Ci",                       2,  99},  // Ci
    {"Np",                       2, 102},  // Np
    {"dB",                       2, 103},  // dB
    {"Ra",                       2, 104},  // Ra
    {"VA",                       2, 111},  // VA
    {"dr",                       2, 116},  // dr
    {"ch",                       2, 118},  // ch
    {"rd",                       2, 119},  // rd
    {"gi",                       2, 120},  // gi
    {"gn",                       2, 122},  // gn
    {"PS",                       2, 123},  // PS
    {"CV",                       2, 123},  // CV
    {"mo",                       2, 125},  // mo
    {"fn",                       2, 126},  // fn
    {"at",                       2, 127},  // at
    {"pk",                       2, 132},  // pk
    {"dz",                       2, 350},  // dz
    {"sc",                       2, 366},  // sc
    {"Bd",                       2, 367},  // Bd
    {"b",                        1,   1},  // b
    {"B",                        1,   2},  // B
    {"s",                        1,   3},  // s
    {"m",                        1,   4},  // m
    {"g",                        1,   5},  // g
    {"A",                        1,   6},  // A
    {"K",                        1,   7},  // K
    {"N",                        1,  11},  // N
    {"J",                        1,  13},  // J
    {"W",                        1,  14},  // W
    {"V",                        1,  15},  // V
    {"F",                        1,  17},  // F
    {"C",                        1,  18},  // C
    {"S",                        1,  19},  // S
    {"T",                        1,  21},  // T
    {"H",                        1,  22},  // H
    {"L",                        1,  29},  // L
    {"l",                        1,  29},  // l
    {"h",                        1,  31},  // h
    {"d",                        1,  32},  // d
    {"t",                        1,  37},  // t
    {"P",                        1,  91},  // P
    {"G",                        1,  93},  // G
    {"R",                        1, 100},  // R
    {"%",                        1, 372},  // %
};

// Canonical symbols by identifier; each is also a row of the name table.
constexpr const char *kCanonicalSymbols[kUnitIdCount] = {
    "",                //   0: no unit
    "b",               //   1
    "B",               //   2
    "s",               //   3
    "m",               //   4
    "g",               //   5
    "A",               //   6
    "K",               //   7
    "mol",             //   8
    "cd",              //   9
    "Hz",              //  10
    "N",               //  11
    "Pa",              //  12
    "J",               //  13
    "W",               //  14
    "V",               //  15
    "\xE2\x84\xA6",    //  16
    "F",               //  17
    "C",               //  18
    "S",               //  19
    "Wb",              //  20
    "T",               //  21
    "H",               //  22
    "lm",              //  23
    "lx",              //  24
    "Bq",              //  25
    "Gy",              //  26
    "Sv",              //  27
    "kat",             //  28
    "L",               //  29
    "min",             //  30
    "h",               //  31
    "d",               //  32
    "\xC2\xB0",        //  33
    "\xC2\xB0\x43",    //  34
    "rad",             //  35
    "sr",              //  36
    "t",               //  37
    "bar",             //  38
    "eV",              //  39
    "Da",              //  40
    "au",              //  41
    "ha",              //  42
    "wk",              //  43
    "yr",              //  44
    "in",              //  45
    "ft",              //  46
    "yd",              //  47
    "mi",              //  48
    "nmi",             //  49
    "\xE2\x84\xAB",    //  50
    "ly",              //  51
    "pc",              //  52
    "fur",             //  53
    "fath",            //  54
    "lb",              //  55
    "oz",              //  56
    "gr",              //  57
    "st",              //  58
    "tn_sh",           //  59
    "tn_l",            //  60
    "oz_t",            //  61
    "ct",              //  62
    "\xC2\xB0\x46",    //  63
    "atm",             //  64
    "mmHg",            //  65
    "Torr",            //  66
    "psi",             //  67
    "cal",             //  68
    "Btu",             //  69
    "erg",             //  70
    "thm",             //  71
    "hp",              //  72
    "lbf",             //  73
    "dyn",             //  74
    "kip",             //  75
    "kn",              //  76
    "gal",             //  77
    "gal_uk",          //  78
    "qt",              //  79
    "pt",              //  80
    "cup",             //  81
    "fl_oz",           //  82
    "tbsp",            //  83
    "tsp",             //  84
    "bbl",             //  85
    "ac",              //  86
    "barn",            //  87
    "arcmin",          //  88
    "arcsec",          //  89
    "grad",            //  90
    "P",               //  91
    "St",              //  92
    "G",               //  93
    "Mx",              //  94
    "Oe",              //  95
    "sb",              //  96
    "ph",              //  97
    "Gal",             //  98
    "Ci",              //  99
    "R",               // 100
    "rem",             // 101
    "Np",              // 102
    "dB",              // 103
    "\xC2\xB0Ra",      // 104
    "slug",            // 105
    "thou",            // 106
    "pt_uk",           // 107
    "fl_oz_uk",        // 108
    "qt_uk",           // 109
    "var",             // 110
    "VA",              // 111
    "kgf",             // 112
    "inHg",            // 113
    "rpm",             // 114
    "ft_lb",           // 115
    "dr",              // 116
    "dwt",             // 117
    "ch",              // 118
    "rd",              // 119
    "gi",              // 120
    "gi_uk",           // 121
    "gn",              // 122
    "PS",              // 123
    "rev",             // 124
    "mo",              // 125
    "fn",              // 126
    "at",              // 127
    "tex",             // 128
    "den",             // 129
    "fl_dr",           // 130
    "minim",           // 131
    "pk",              // 132
    "bsh",             // 133
    // 134..347: currencies, printed by their code
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr,
    "Pfd",             // 348
    "Ztr",             // 349
    "dz",              // 350
    "lot",             // 351
    "prln",            // 352
    "prz",             // 353
    "prf",             // 354
    "elle",            // 355
    "rute",            // 356
    "klafter",         // 357
    "dt_mi",           // 358
    "morgen",          // 359
    "schffl",          // 360
    "ftUS",            // 361
    "lea",             // 362
    "cbl",             // 363
    "hand",            // 364
    "qntl",            // 365
    "sc",              // 366
    "Bd",              // 367
    "\xC2\xB0\x44\x65", // 368
    "\xC2\xB0N",       // 369
    "\xC2\xB0Re",      // 370
    "\xC2\xB0Ro",      // 371
    "%",               // 372
    "\xE2\x80\xB0",    // 373
    "\xE2\x80\xB1",    // 374
    "pcm",             // 375
    "ppm",             // 376
    "ppb",             // 377
};
// clang-format on

namespace {

constexpr uint32_t text_length(const char *s) {
    uint32_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

constexpr bool name_lengths_match() {
    for (const unit_name &row : unit_name_table) {
        if (row.length == 0 || text_length(row.text) != row.length) return false;
    }
    return true;
}
static_assert(name_lengths_match(), "unit name table: a length field disagrees with its name");

constexpr bool sorted_longest_first() {
    for (uint32_t k = 1; k < kUnitNameCount; ++k) {
        if (unit_name_table[k].length > unit_name_table[k - 1].length) return false;
    }
    return true;
}
static_assert(sorted_longest_first(), "unit name table: rows must run from long to short names");

// The index over the name lengths, computed while compiling: walk l from 31
// down to 0 with a row cursor that skips names longer than l.
constexpr name_length_index build_name_index() {
    name_length_index index{};
    uint32_t longest = 0;
    for (const unit_name &row : unit_name_table) {
        if (row.length > longest) longest = row.length;
    }
    index.max_length = longest < kNameIndexSize - 1 ? longest : kNameIndexSize - 1;
    uint32_t k = 0;
    for (uint32_t l = kNameIndexSize; l-- > 0;) {
        while (k < kUnitNameCount && unit_name_table[k].length > l) ++k;
        index.first_row[l] = static_cast<uint16_t>(k);
    }
    return index;
}

}  // namespace

// Built at compile time: it is constant from the start, so concurrent first
// lookups need no synchronisation.
constexpr name_length_index unit_name_index = build_name_index();

namespace {

// The rows grouped by the last byte of their name, each group in table
// order, so that a lookup only visits names that can end the text.
struct last_byte_buckets {
    uint16_t start[257];            // group of byte c: rows[start[c] .. start[c + 1])
    uint16_t rows[kUnitNameCount];  // row numbers, ascending within a group
};

constexpr last_byte_buckets build_buckets() {
    last_byte_buckets b{};
    uint32_t count[256] = {};
    for (const unit_name &row : unit_name_table) {
        ++count[static_cast<unsigned char>(row.text[row.length - 1])];
    }
    uint32_t sum = 0;
    for (uint32_t c = 0; c < 256; ++c) {
        b.start[c] = static_cast<uint16_t>(sum);
        sum += count[c];
    }
    b.start[256] = static_cast<uint16_t>(sum);
    uint32_t fill[256] = {};
    for (uint32_t k = 0; k < kUnitNameCount; ++k) {
        const unit_name &row = unit_name_table[k];
        const unsigned char c = static_cast<unsigned char>(row.text[row.length - 1]);
        b.rows[b.start[c] + fill[c]++] = static_cast<uint16_t>(k);
    }
    return b;
}

constexpr last_byte_buckets kBuckets = build_buckets();

}  // namespace

name_match find_unit_name_suffix(const char *text, uint32_t n) {
    if (text == nullptr || n == 0) return {0, 0};
    // Rows before `first` are longer than n; every later row is not.
    const uint32_t first =
        unit_name_index.first_row[n < unit_name_index.max_length ? n : unit_name_index.max_length];
    const unsigned char last = static_cast<unsigned char>(text[n - 1]);
    uint32_t lo = kBuckets.start[last];
    uint32_t hi = kBuckets.start[last + 1];
    // The first row of the group at or after `first` (the group ascends).
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (kBuckets.rows[mid] < first) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    for (uint32_t k = lo; k < kBuckets.start[last + 1]; ++k) {
        const unit_name &row = unit_name_table[kBuckets.rows[k]];
        if (row.length > n) continue;  // only when n exceeds the index's range
        // Names are short: a byte loop beats a call to memcmp. The last
        // byte is known to match.
        const char *tail = text + (n - row.length);
        uint32_t i = 0;
        while (i + 1 < row.length && tail[i] == row.text[i]) ++i;
        if (i + 1 >= row.length) return {row.id, row.length};
    }
    return {0, 0};
}

const char *unit_canonical_symbol(uint32_t id) {
    if (id >= kUnitIdCount) return "";
    const char *symbol = kCanonicalSymbols[id];
    return symbol != nullptr ? symbol : "";
}

}  // namespace tvl
