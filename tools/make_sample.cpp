// Writes a small recipe collection to start with, so a fresh install has something to browse.
//
//   pantrio-make-sample [--help] [--] <folder>/Savorix.mdb
//
// Never overwrites: an existing file may hold someone's own recipes.

#include "store/RecipeTable.h"
#include "store/StoreError.h"
#include "ToolArguments.h"

#include <cstdio>
#include <iterator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace {

// One recipe in field order. A null pointer stores no value (NULL), which the recipe window
// shows as an empty box, the same as a recipe that was never given notes.
struct SampleRecipe
{
    const char* category;
    const char* name;
    const char* description;
    const char* timeToPrepare;
    const char* ingredients;
    const char* instructions;
    const char* notes;
};

// Raw strings keep the line breaks exactly as the multi-line boxes show them.
constexpr SampleRecipe Recipes[] = {
    {"Soups", "French Onion Soup", "Slow-cooked onions in beef broth under a lid of melted Gruyère.",
     "1 hour 30 minutes",
     R"(6 large yellow onions, thinly sliced
3 tablespoons butter
1 tablespoon olive oil
1 teaspoon sugar
2 cloves garlic, minced
1/2 cup dry white wine
8 cups beef broth
2 sprigs fresh thyme
1 bay leaf
Salt and black pepper to taste
8 slices baguette, toasted
2 cups grated Gruyère cheese)",
     R"(1. Melt the butter with the oil in a heavy pot over medium heat.
2. Add the onions and sugar and cook, stirring now and then, for 40 to 50 minutes until deep brown.
3. Stir in the garlic for one minute, then pour in the wine and scrape up the browned bits.
4. Add the broth, thyme and bay leaf and simmer for 20 minutes. Season with salt and pepper.
5. Heat the broiler. Ladle the soup into oven-safe bowls and top each with toast and cheese.
6. Broil until the cheese bubbles and browns, about 3 minutes. Serve at once.)",
     R"(Do not hurry the onions: the colour is the flavour.
A splash of sherry just before serving is a good addition.)"},

    {"Soups", "Split Pea Soup with Ham",
     "A thick, smoky soup for cold evenings, made from a leftover ham bone.", "2 hours 15 minutes",
     R"(1 pound dried green split peas, rinsed
1 meaty ham bone or 2 smoked ham hocks
1 large onion, chopped
2 carrots, diced
2 stalks celery, diced
2 cloves garlic, minced
10 cups water
1 bay leaf
1/2 teaspoon dried thyme
Black pepper to taste)",
     R"(1. Put all the ingredients in a large pot and bring to a boil.
2. Lower the heat, cover, and simmer for 1 1/2 hours, stirring now and then so the peas do not stick.
3. Lift out the ham bone, cut off the meat, chop it and return it to the pot.
4. Simmer uncovered for 20 minutes more, until thick. Remove the bay leaf.
5. Taste before salting: the ham is already salty.)",
     nullptr},

    {"Breads", "Pão de Queijo", "Brazilian cheese puffs, crisp outside and chewy inside.", "45 minutes",
     R"(2 cups tapioca flour (sour starch if you can find it)
1/2 cup milk
1/2 cup water
1/3 cup vegetable oil
1 teaspoon salt
2 eggs, beaten
1 1/2 cups grated Parmesan or Minas cheese)",
     R"(1. Heat the oven to 400 °F (200 °C) and line a baking sheet with parchment.
2. Bring the milk, water, oil and salt to a boil in a saucepan.
3. Pour the hot liquid over the tapioca flour and stir until smooth. Let it cool for 10 minutes.
4. Beat in the eggs a little at a time, then work in the cheese. The dough will be sticky.
5. With oiled hands, roll into balls the size of a walnut and set them 2 inches apart.
6. Bake for 20 to 25 minutes, until puffed and lightly golden.)",
     R"(The shaped balls freeze well. Bake them straight from the freezer, adding 5 minutes.)"},

    {"Breads", "Country White Bread", "An everyday sandwich loaf with a soft crumb.", "3 hours 30 minutes",
     R"(1 1/2 cups warm water (110 °F)
2 1/4 teaspoons active dry yeast
2 tablespoons sugar
2 tablespoons butter, melted
2 teaspoons salt
4 cups bread flour, plus more for kneading)",
     R"(1. Dissolve the sugar in the warm water, sprinkle the yeast over it, and let it stand 10 minutes until foamy.
2. Stir in the butter, salt and 3 cups of the flour. Add the rest of the flour a little at a time.
3. Knead on a floured board for 10 minutes, until smooth and elastic.
4. Put the dough in a greased bowl, cover, and let it rise until doubled, about 1 1/2 hours.
5. Punch it down, shape it into a loaf and place it in a greased 9 x 5 inch pan.
6. Let it rise again until it crowns above the pan, about 45 minutes.
7. Bake at 375 °F for 30 to 35 minutes, until it sounds hollow when tapped. Cool on a rack.)",
     nullptr},

    {"Breads", "Buttermilk Biscuits", "Tall, flaky biscuits for breakfast or with gravy.", "30 minutes",
     R"(2 cups all-purpose flour
1 tablespoon baking powder
1/2 teaspoon baking soda
1 teaspoon salt
1 teaspoon sugar
6 tablespoons cold butter, cubed
3/4 cup cold buttermilk)",
     R"(1. Heat the oven to 450 °F.
2. Whisk the flour, baking powder, soda, salt and sugar together.
3. Cut in the butter until the pieces are the size of peas.
4. Stir in the buttermilk just until the dough holds together.
5. Pat it 3/4 inch thick, fold it in half, and pat it out again. Repeat twice.
6. Cut with a floured 2 1/2 inch cutter, pressing straight down without twisting.
7. Bake touching each other on a sheet for 12 to 14 minutes, until golden.)",
     R"(Keep everything cold. Warm butter means flat biscuits.)"},

    {"Desserts", "Grandma's Apple Pie", "A double-crust pie with cinnamon apples, the way Grandma made it.",
     "1 hour 45 minutes",
     R"(Pastry for a 9 inch double-crust pie
6 to 7 tart apples (Granny Smith or Northern Spy), peeled and sliced
3/4 cup sugar
2 tablespoons all-purpose flour
1 teaspoon ground cinnamon
1/4 teaspoon ground nutmeg
1 tablespoon lemon juice
2 tablespoons butter, in small pieces
1 egg white, beaten, and 1 teaspoon sugar for the top)",
     R"(1. Heat the oven to 425 °F. Line the pie plate with the bottom crust.
2. Toss the apples with the sugar, flour, spices and lemon juice.
3. Heap the apples in the crust and dot with the butter.
4. Cover with the top crust, seal and flute the edge, and cut several slits for steam.
5. Brush with the egg white and sprinkle with sugar.
6. Bake for 15 minutes, then lower to 350 °F and bake 40 to 45 minutes more, until the juice bubbles.
7. Cool at least 2 hours before cutting so the filling sets.)",
     R"(Grandma always used half Granny Smith and half McIntosh.
Cover the edge with foil if it browns too fast.)"},

    {"Desserts", "Crème Brûlée", "Vanilla custard under a thin shell of burnt sugar.", "1 hour 10 minutes",
     R"(2 cups heavy cream
1 vanilla bean, split, or 1 teaspoon vanilla extract
5 egg yolks
1/2 cup sugar, plus 6 teaspoons for the tops
Pinch of salt)",
     R"(1. Heat the oven to 325 °F. Set six 6-ounce ramekins in a deep baking pan.
2. Heat the cream with the vanilla bean until steaming. Cover and let it steep 15 minutes.
3. Whisk the yolks, sugar and salt until pale. Slowly whisk in the warm cream.
4. Strain into a jug and divide among the ramekins.
5. Pour hot water into the pan to come halfway up the ramekins.
6. Bake 35 to 40 minutes, until set at the edges but still trembling in the centre.
7. Chill at least 3 hours. Just before serving, sprinkle each with 1 teaspoon sugar and caramelize with a torch.)",
     R"(The custards keep 2 days in the refrigerator. Burn the sugar only at the last minute.)"},

    {"Desserts", "Chocolate Chip Cookies", "Chewy cookies with crisp edges.", "40 minutes",
     R"(2 1/4 cups all-purpose flour
1 teaspoon baking soda
1 teaspoon salt
1 cup butter, softened
3/4 cup sugar
3/4 cup packed brown sugar
2 eggs
2 teaspoons vanilla extract
2 cups semisweet chocolate chips
1 cup chopped walnuts (optional))",
     R"(1. Heat the oven to 375 °F.
2. Mix the flour, soda and salt in a small bowl.
3. Beat the butter and both sugars until creamy. Beat in the eggs one at a time, then the vanilla.
4. Gradually beat in the flour mixture. Stir in the chips and nuts.
5. Drop rounded tablespoons onto ungreased sheets, 2 inches apart.
6. Bake 9 to 11 minutes, until golden at the edges. Cool 2 minutes on the sheet, then on racks.)",
     nullptr},

    {"Main Dishes", "Shepherd's Pie", "Minced lamb in gravy under a crust of mashed potatoes.",
     "1 hour 20 minutes",
     R"(2 pounds potatoes, peeled and quartered
4 tablespoons butter
1/2 cup milk
1 tablespoon olive oil
1 onion, finely chopped
2 carrots, diced
1 1/2 pounds ground lamb
2 tablespoons tomato paste
1 tablespoon Worcestershire sauce
2 tablespoons all-purpose flour
1 cup beef or lamb stock
1 cup frozen peas
1 teaspoon fresh thyme leaves
Salt and pepper)",
     R"(1. Boil the potatoes in salted water until tender, about 20 minutes. Drain and mash with the butter and milk.
2. Heat the oven to 400 °F.
3. Soften the onion and carrots in the oil for 8 minutes. Add the lamb and brown it, breaking it up.
4. Stir in the tomato paste, Worcestershire sauce and flour, then the stock and thyme.
5. Simmer 10 minutes until thickened. Add the peas and season.
6. Spread the meat in a baking dish, cover with the potatoes and rough the top with a fork.
7. Bake 25 minutes, until the top is golden and the filling bubbles at the edges.)",
     R"(Made with beef instead of lamb it is a cottage pie.)"},

    {"Main Dishes", "Five-Star* Chili",
     "Beef and bean chili that won the church cook-off (*five years running).", "2 hours 30 minutes",
     R"(2 tablespoons vegetable oil
2 pounds beef chuck, cut in 1/2 inch cubes
2 onions, chopped
1 green bell pepper, chopped
4 cloves garlic, minced
3 tablespoons chili powder
1 tablespoon ground cumin
2 teaspoons dried oregano
1 teaspoon smoked paprika
1/2 teaspoon cayenne pepper
1 can (28 ounces) crushed tomatoes
1 bottle (12 ounces) dark beer
2 cans (15 ounces each) kidney beans, drained
1 square (1 ounce) unsweetened chocolate
Salt to taste)",
     R"(1. Brown the beef in the oil in batches and set it aside.
2. Cook the onions and pepper in the same pot until soft, then add the garlic and spices for 1 minute.
3. Return the beef, add the tomatoes and beer, and bring to a boil.
4. Cover and simmer 1 1/2 hours, stirring now and then.
5. Add the beans and chocolate and simmer uncovered 30 minutes more.
6. Season with salt. Serve with shredded cheddar, sour cream and chopped onion.)",
     R"(Better the next day.
For milder chili leave out the cayenne.)"},

    {"Main Dishes", "Käsespätzle", "Swabian egg noodles layered with cheese and crisp fried onions.",
     "50 minutes",
     R"(3 cups all-purpose flour
4 eggs
3/4 cup milk or water
1 teaspoon salt
1/4 teaspoon ground nutmeg
2 large onions, thinly sliced
4 tablespoons butter
2 cups grated Emmentaler or Bergkäse
Chopped chives)",
     R"(1. Beat the flour, eggs, milk, salt and nutmeg into a thick, smooth batter. Let it rest 15 minutes.
2. Fry the onions slowly in 2 tablespoons butter until deep golden and crisp. Keep them warm.
3. Bring a large pot of salted water to a boil.
4. Press the batter through a spätzle maker or scrape it off a wet board into the water in thin strips.
5. When the spätzle float, lift them out with a slotted spoon.
6. Layer the hot spätzle with the cheese in a buttered dish, finishing with cheese.
7. Top with the onions and chives and serve at once.)",
     nullptr},

    {"Salads", "Waldorf Salad", "Apples, celery, grapes and walnuts in a light dressing.", "20 minutes",
     R"(2 crisp red apples, cored and diced
1 tablespoon lemon juice
1 cup celery, sliced
1 cup red seedless grapes, halved
1/2 cup walnuts, toasted and chopped
1/3 cup mayonnaise
1/3 cup plain yogurt
Salt and pepper
Lettuce leaves for serving)",
     R"(1. Toss the apples with the lemon juice so they do not brown.
2. Add the celery, grapes and walnuts.
3. Stir the mayonnaise and yogurt together, season, and fold into the salad.
4. Serve on lettuce leaves.)",
     nullptr},

    {"Salads", "Tabbouleh", "A fresh parsley and bulgur salad with lemon and mint.", "35 minutes",
     R"(1/2 cup fine bulgur
3 bunches flat-leaf parsley, finely chopped
1 small bunch mint, finely chopped
4 ripe tomatoes, finely diced
4 green onions, thinly sliced
1/3 cup lemon juice
1/3 cup extra-virgin olive oil
1 teaspoon salt
1/4 teaspoon ground allspice)",
     R"(1. Cover the bulgur with boiling water and let it stand 15 minutes. Drain and squeeze dry.
2. Combine the bulgur with the parsley, mint, tomatoes and onions.
3. Whisk the lemon juice, oil, salt and allspice and pour over the salad.
4. Toss well and let it stand 10 minutes before serving.)",
     R"(It should be green with flecks of bulgur, not the other way round.)"},

    {"Preserves", "Strawberry Jam", "A small batch of jam that sets without added pectin.", "1 hour",
     R"(2 pounds ripe strawberries, hulled
3 cups sugar
1/4 cup lemon juice)",
     R"(1. Put two small plates in the freezer for testing the set.
2. Crush the berries in a wide pot, stir in the sugar and lemon juice, and let stand 20 minutes.
3. Bring to a full rolling boil over high heat, stirring often.
4. Boil hard 10 to 15 minutes. Drop a little on a cold plate: when it wrinkles as you push it, it is done.
5. Skim off the foam and ladle into hot sterilized jars, leaving 1/4 inch headspace.
6. Seal and process 10 minutes in a boiling water bath.)",
     R"(Makes about 4 half-pint jars.)"},

    {"Preserves", "Bread and Butter Pickles", "Sweet and tangy cucumber slices with onion and mustard seed.",
     "1 hour 45 minutes",
     R"(4 pounds pickling cucumbers, sliced 1/4 inch thick
2 large onions, thinly sliced
1/3 cup pickling salt
Ice cubes
3 cups cider vinegar
2 1/2 cups sugar
2 tablespoons mustard seed
1 teaspoon celery seed
1 teaspoon ground turmeric)",
     R"(1. Layer the cucumbers and onions with the salt in a large bowl, cover with ice and let stand 1 hour.
2. Drain, rinse well and drain again.
3. Bring the vinegar, sugar and spices to a boil.
4. Add the vegetables and return just to a boil.
5. Pack into hot jars, cover with the liquid leaving 1/2 inch headspace, and seal.
6. Process 10 minutes in a boiling water bath. Wait two weeks before opening.)",
     nullptr},

    {"Drinks", "Hot Spiced Cider", "Apple cider mulled with orange and whole spices.", "25 minutes",
     R"(2 quarts apple cider
1 orange, sliced
3 cinnamon sticks
6 whole cloves
4 allspice berries
2 tablespoons brown sugar (optional))",
     R"(1. Put everything in a large saucepan.
2. Heat until it just simmers, then keep it over low heat for 20 minutes. Do not let it boil.
3. Strain into mugs and add a fresh cinnamon stick to each.)",
     R"(Keeps warm for hours in a slow cooker set on low.)"},

    {"Drinks", "Fresh Lemonade", "Old-fashioned lemonade made with a simple syrup.", "15 minutes",
     R"(1 cup sugar
1 cup water for the syrup
1 cup fresh lemon juice (5 to 6 lemons)
4 cups cold water
Ice and lemon slices)",
     R"(1. Heat the sugar and 1 cup water until the sugar dissolves. Let the syrup cool.
2. Stir the syrup and lemon juice into the cold water in a pitcher.
3. Taste and add more water or sugar if needed.
4. Serve over ice with lemon slices.)",
     nullptr},

    {"Side Dishes", "Roasted Garlic Mashed Potatoes",
     "Creamy potatoes with a whole head of sweet roasted garlic.", "1 hour 5 minutes",
     R"(1 head garlic
1 teaspoon olive oil
3 pounds Yukon Gold potatoes, peeled and cut in chunks
1/2 cup butter
3/4 cup warm milk or cream
Salt and white pepper)",
     R"(1. Heat the oven to 400 °F. Cut the top off the garlic, drizzle with oil, wrap in foil and roast 40 minutes.
2. Meanwhile boil the potatoes in salted water until very tender, about 20 minutes. Drain well.
3. Squeeze the soft garlic out of its skins into the potatoes.
4. Mash with the butter, then beat in the warm milk until fluffy.
5. Season with salt and white pepper.)",
     R"(Ricing the potatoes instead of mashing gives the smoothest result.)"},
};

const char* const Usage = "[--help] [--] <folder>/Savorix.mdb";

void print(std::FILE* to, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
}

QString fromUtf8(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray about =
        QStringLiteral("Writes a new recipe file holding %1 sample recipes; an existing file is left as it "
                       "is.")
            .arg(std::size(Recipes))
            .toLocal8Bit();
    const QStringList args = pantrio::tools::toolArguments(argc, argv, Usage, about.constData());
    if (args.size() != 1) {
        std::fprintf(stderr, "Usage: pantrio-make-sample %s\n%s\n", Usage, about.constData());
        return 1;
    }
    const QString path = args.at(0);
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo::exists(path)) {
        print(stderr,
              QStringLiteral("pantrio-make-sample: \"%1\" already exists; it was left as it is.").arg(shown));
        return 1;
    }

    std::size_t next = 0;
    try {
        pantrio::RecipeTable::createFile(path, [&next](pantrio::RecipeValues& row) {
            if (next == std::size(Recipes))
                return false;
            const SampleRecipe& r = Recipes[next++];
            using pantrio::Field;
            row[Field::FoodCategoryID] = fromUtf8(r.category);
            row[Field::RecipeName] = fromUtf8(r.name);
            row[Field::RecipeDescription] = fromUtf8(r.description);
            row[Field::TimeToPrepare] = fromUtf8(r.timeToPrepare);
            row[Field::Ingredients] = fromUtf8(r.ingredients);
            row[Field::Instructions] = fromUtf8(r.instructions);
            row[Field::Notes] = r.notes ? pantrio::FieldValue(fromUtf8(r.notes)) : std::nullopt;
            return true;
        });
    } catch (const pantrio::StoreError& e) {
        print(stderr, QStringLiteral("pantrio-make-sample: %1").arg(e.message()));
        // Rows were being written, so the file is ours: a half-written one would later be
        // taken for a real collection.
        if (next > 0)
            QFile::remove(path);
        return 1;
    }
    print(stdout, QStringLiteral("Wrote %1 sample recipes to \"%2\".").arg(std::size(Recipes)).arg(shown));
    return 0;
}
