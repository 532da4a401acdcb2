#include "RecipeGenerator.h"

#include <array>
#include <string_view>

namespace pantrio::bench {

namespace {

// SplitMix64: tiny, fast, and good enough to make text look varied.
class Random
{
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return std::size_t(next() % n); }
    int between(int lo, int hi) { return lo + int(below(std::size_t(hi - lo + 1))); }
    bool chance(int percent) { return int(below(100)) < percent; }

    template <std::size_t N> std::string_view pick(const std::array<std::string_view, N>& words)
    {
        return words[below(N)];
    }

private:
    std::uint64_t state_;
};

using namespace std::string_view_literals;

constexpr std::array Categories = {
    "Soups"sv,      "Breads"sv,           "Desserts"sv,       "Main Dishes"sv,    "Salads"sv,
    "Preserves"sv,  "Drinks"sv,           "Side Dishes"sv,    "Appetizers"sv,     "Breakfast"sv,
    "Casseroles"sv, "Cookies and Bars"sv, "Cakes"sv,          "Pies and Tarts"sv, "Sauces and Gravies"sv,
    "Vegetarian"sv, "Fish and Seafood"sv, "Poultry"sv,        "Beef and Veal"sv,  "Pork and Ham"sv,
    "Pasta"sv,      "Grilling"sv,         "Holiday Baking"sv, "Slow Cooker"sv,    "Candy and Fudge"sv,
};

constexpr std::array Owners = {
    "Grandma's"sv, "Aunt Ruth's"sv, "Uncle Walt's"sv,  "Mom's"sv,         "Nonna's"sv,
    "Dad's"sv,     "Oma's"sv,       "Chef Pierre's"sv, "Mrs. Keller's"sv, "Grandpa Joe's"sv,
};

constexpr std::array Adjectives = {
    "Smoky"sv,   "Creamy"sv,       "Spicy"sv,         "Honey-Glazed"sv, "Rustic"sv,      "Golden"sv,
    "Hearty"sv,  "Zesty"sv,        "Old-Fashioned"sv, "Crispy"sv,       "Tangy"sv,       "Slow-Roasted"sv,
    "Buttery"sv, "Herbed"sv,       "Lemon"sv,         "Garlic"sv,       "Sautéed"sv,     "Flambéed"sv,
    "Braised"sv, "Sweet"sv,        "Country"sv,       "Farmhouse"sv,    "Summer"sv,      "Winter"sv,
    "Maple"sv,   "Brown Butter"sv, "Peppered"sv,      "Stuffed"sv,      "Twice-Baked"sv, "Quick"sv,
};

constexpr std::array Mains = {
    "Chicken"sv,   "Beef"sv,          "Pork"sv,         "Salmon"sv,      "Shrimp"sv,  "Turkey"sv,
    "Lamb"sv,      "Mushroom"sv,      "Sweet Potato"sv, "Black Bean"sv,  "Lentil"sv,  "Cabbage"sv,
    "Pumpkin"sv,   "Zucchini"sv,      "Eggplant"sv,     "Cauliflower"sv, "Spinach"sv, "Tomato"sv,
    "Apple"sv,     "Pear"sv,          "Blueberry"sv,    "Cherry"sv,      "Peach"sv,   "Rhubarb"sv,
    "Chocolate"sv, "Pecan"sv,         "Walnut"sv,       "Cinnamon"sv,    "Ginger"sv,  "Coconut"sv,
    "Jalapeño"sv,  "Crème Fraîche"sv, "Cheddar"sv,      "Ricotta"sv,     "Corn"sv,    "Carrot"sv,
};

constexpr std::array Dishes = {
    "Soup"sv,      "Stew"sv,     "Chowder"sv,  "Bread"sv,   "Muffins"sv,  "Pie"sv,       "Tart"sv,
    "Cake"sv,      "Cookies"sv,  "Bars"sv,     "Salad"sv,   "Slaw"sv,     "Casserole"sv, "Bake"sv,
    "Pot Roast"sv, "Skillet"sv,  "Stir-Fry"sv, "Curry"sv,   "Chili"sv,    "Pasta"sv,     "Risotto"sv,
    "Jam"sv,       "Relish"sv,   "Chutney"sv,  "Pickles"sv, "Punch"sv,    "Smoothie"sv,  "Cobbler"sv,
    "Crisp"sv,     "Fritters"sv, "Purée"sv,    "Gratin"sv,  "Meatloaf"sv, "Pudding"sv,   "Scones"sv,
};

constexpr std::array Quantities = {
    "1"sv,   "2"sv,   "3"sv,   "4"sv,   "6"sv,     "8"sv,     "1/2"sv,
    "1/3"sv, "1/4"sv, "3/4"sv, "2/3"sv, "1 1/2"sv, "2 1/2"sv,
};

constexpr std::array Units = {
    "cup"sv,       "cups"sv,     "tablespoon"sv, "tablespoons"sv,     "teaspoon"sv,
    "teaspoons"sv, "pound"sv,    "pounds"sv,     "ounces"sv,          "cloves"sv,
    "large"sv,     "medium"sv,   "small"sv,      "can (15 ounces)"sv, "package (8 ounces)"sv,
    "quart"sv,     "pinch of"sv, "stalks"sv,
};

constexpr std::array Ingredients = {
    "all-purpose flour"sv,
    "whole wheat flour"sv,
    "sugar"sv,
    "brown sugar"sv,
    "butter"sv,
    "unsalted butter"sv,
    "eggs"sv,
    "milk"sv,
    "buttermilk"sv,
    "heavy cream"sv,
    "sour cream"sv,
    "cream cheese"sv,
    "olive oil"sv,
    "vegetable oil"sv,
    "onions"sv,
    "yellow onion"sv,
    "red onion"sv,
    "garlic"sv,
    "celery"sv,
    "carrots"sv,
    "potatoes"sv,
    "tomatoes"sv,
    "tomato paste"sv,
    "chicken broth"sv,
    "beef stock"sv,
    "white wine"sv,
    "cider vinegar"sv,
    "lemon juice"sv,
    "orange zest"sv,
    "honey"sv,
    "maple syrup"sv,
    "baking powder"sv,
    "baking soda"sv,
    "salt"sv,
    "black pepper"sv,
    "ground cinnamon"sv,
    "ground nutmeg"sv,
    "ground cumin"sv,
    "chili powder"sv,
    "paprika"sv,
    "dried oregano"sv,
    "fresh thyme"sv,
    "fresh parsley"sv,
    "fresh basil"sv,
    "bay leaves"sv,
    "rolled oats"sv,
    "raisins"sv,
    "chopped walnuts"sv,
    "pecan halves"sv,
    "chocolate chips"sv,
    "cocoa powder"sv,
    "vanilla extract"sv,
    "cornstarch"sv,
    "rice"sv,
    "egg noodles"sv,
    "kidney beans"sv,
    "frozen peas"sv,
    "green beans"sv,
    "mushrooms"sv,
    "bell peppers"sv,
    "cheddar cheese"sv,
    "Parmesan cheese"sv,
    "Gruyère cheese"sv,
    "bacon"sv,
    "smoked ham"sv,
    "chicken thighs"sv,
    "ground beef"sv,
    "pork shoulder"sv,
    "salmon fillets"sv,
    "shrimp"sv,
    "apples"sv,
    "strawberries"sv,
    "blueberries"sv,
    "peaches"sv,
    "cranberries"sv,
};

constexpr std::array Preparations = {
    ""sv,
    ""sv,
    ""sv,
    ", chopped"sv,
    ", diced"sv,
    ", minced"sv,
    ", softened"sv,
    ", melted"sv,
    ", thinly sliced"sv,
    ", at room temperature"sv,
    ", peeled and cubed"sv,
    ", drained"sv,
    ", divided"sv,
    ", finely grated"sv,
    ", plus more for dusting"sv,
    ", cut in 1 inch pieces"sv,
    ", lightly beaten"sv,
    ", toasted"sv,
};

constexpr std::array Verbs = {
    "Stir"sv,   "Whisk"sv, "Combine"sv, "Fold"sv, "Simmer"sv, "Bake"sv,  "Brown"sv,   "Toss"sv,
    "Spread"sv, "Pour"sv,  "Season"sv,  "Beat"sv, "Cover"sv,  "Drain"sv, "Arrange"sv, "Sprinkle"sv,
};

constexpr std::array Things = {
    "the onions"sv,
    "the butter and sugar"sv,
    "the dry ingredients"sv,
    "the batter"sv,
    "the dough"sv,
    "the sauce"sv,
    "the vegetables"sv,
    "the meat"sv,
    "the broth"sv,
    "the filling"sv,
    "the cream"sv,
    "the fruit"sv,
    "the eggs"sv,
    "the cheese"sv,
    "the potatoes"sv,
    "the topping"sv,
};

constexpr std::array Places = {
    "in a large bowl"sv,           "in a heavy saucepan"sv, "in a greased 9 x 13 inch pan"sv,
    "in a Dutch oven"sv,           "in a wide skillet"sv,   "on a lined baking sheet"sv,
    "over medium heat"sv,          "over low heat"sv,       "in the slow cooker"sv,
    "in a buttered baking dish"sv, "on a floured board"sv,  "in the top of a double boiler"sv,
};

constexpr std::array Untils = {
    "until smooth"sv,
    "until golden brown"sv,
    "until tender"sv,
    "until the edges bubble"sv,
    "until thickened"sv,
    "until a toothpick comes out clean"sv,
    "until just combined"sv,
    "until soft and translucent"sv,
    "until doubled in size"sv,
    "until heated through"sv,
    "until the juices run clear"sv,
    "until fragrant"sv,
};

constexpr std::array Afterwords = {
    "Let it stand a few minutes before serving."sv,
    "Taste and adjust the seasoning."sv,
    "Stir now and then so nothing sticks."sv,
    "Keep it covered and warm."sv,
    "Do not let it boil."sv,
    "Scrape down the sides of the bowl."sv,
    ""sv,
    ""sv,
};

constexpr std::array Descriptions = {
    "A family favourite for busy weeknights"sv,
    "Comfort food that feeds a crowd"sv,
    "Bright and fresh, best made in season"sv,
    "A potluck classic that travels well"sv,
    "Rich and satisfying, worth the wait"sv,
    "An easy make-ahead dish for holidays"sv,
    "Light enough for lunch, hearty enough for supper"sv,
    "From the church cookbook, lightly updated"sv,
};

constexpr std::array DescriptionEnds = {
    "."sv,
    ", with a crisp topping."sv,
    " that keeps well for days."sv,
    ", ready in under an hour."sv,
    ", sweet and savoury at once."sv,
    " the children ask for again."sv,
};

constexpr std::array NoteSentences = {
    "Doubles easily for a crowd."sv,
    "Freezes well for up to three months; thaw overnight in the refrigerator."sv,
    "Use fresh herbs when you can get them."sv,
    "Leftovers are even better the next day."sv,
    "Walnuts may be replaced with pecans or left out."sv,
    "Serve with a green salad and crusty bread."sv,
    "Bake on the middle rack; the bottom browns too fast in our oven."sv,
    "Won a blue ribbon at the county fair."sv,
    "Halve the sugar if the fruit is very ripe."sv,
    "A dash of hot sauce wakes it up."sv,
};

void appendTime(std::string& out, int minutes)
{
    const int hours = minutes / 60;
    const int rest = minutes % 60;
    if (hours > 0) {
        out += std::to_string(hours);
        out += hours == 1 ? " hour" : " hours";
        if (rest)
            out += ' ';
    }
    if (rest) {
        out += std::to_string(rest);
        out += " minutes";
    }
}

std::string ingredientList(Random& r)
{
    std::string out;
    const std::size_t target = std::size_t(r.between(800, 1250));
    while (out.size() < target) {
        if (!out.empty())
            out += '\n';
        out += r.pick(Quantities);
        out += ' ';
        out += r.pick(Units);
        out += ' ';
        out += r.pick(Ingredients);
        out += r.pick(Preparations);
    }
    return out;
}

std::string instructionList(Random& r)
{
    std::string out;
    const std::size_t target = std::size_t(r.between(800, 1250));
    for (int step = 1; out.size() < target; ++step) {
        if (!out.empty())
            out += '\n';
        out += std::to_string(step);
        out += ". ";
        out += r.pick(Verbs);
        out += ' ';
        out += r.pick(Things);
        out += ' ';
        out += r.pick(Places);
        out += ' ';
        out += r.pick(Untils);
        if (r.chance(50)) {
            out += ", about ";
            out += std::to_string(r.between(2, 45));
            out += " minutes";
        }
        out += '.';
        if (const std::string_view after = r.pick(Afterwords); !after.empty()) {
            out += ' ';
            out += after;
        }
    }
    return out;
}

QString text(const std::string& s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

RecipeGenerator::RecipeGenerator(std::int64_t count, std::uint64_t seed) : count_(count), seed_(seed) {}

RecipeValues RecipeGenerator::row(std::int64_t i) const
{
    Random r(seed_ ^ (std::uint64_t(i) * 0xd1b54a32d192ed03ULL));

    std::string name;
    if (i == nearEndRow()) {
        name = "Marseille Fish Stew (Bouillabaisse)";
    } else {
        if (r.chance(15)) {
            name += r.pick(Owners);
            name += ' ';
        }
        name += r.pick(Adjectives);
        name += ' ';
        name += r.pick(Mains);
        name += ' ';
        name += r.pick(Dishes);
        if (i >= firstDeletableRow() && i < firstDeletableRow() + DeletableCount)
            name += " Cassoulet";
    }

    std::string description(r.pick(Descriptions));
    description += r.pick(DescriptionEnds);

    std::string time;
    appendTime(time, 5 * r.between(2, 40));

    FieldValue notes;
    if (r.chance(60)) {
        std::string n;
        for (int k = r.between(1, 3); k > 0; --k) {
            if (!n.empty())
                n += '\n';
            n += r.pick(NoteSentences);
        }
        notes = text(n);
    }

    RecipeValues values;
    values[Field::FoodCategoryID] = text(r.pick(Categories));
    values[Field::RecipeName] = text(name);
    values[Field::RecipeDescription] = text(description);
    values[Field::TimeToPrepare] = text(time);
    values[Field::Ingredients] = text(ingredientList(r));
    values[Field::Instructions] = text(instructionList(r));
    values[Field::Notes] = notes;
    return values;
}

void RecipeGenerator::writeFile(const QString& path) const
{
    std::int64_t next = 0;
    RecipeTable::createFile(path, [this, &next](RecipeValues& values) {
        if (next == count_)
            return false;
        values = row(next++);
        return true;
    });
}

} // namespace pantrio::bench
