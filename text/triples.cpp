#include <vocelle/text/triples.h>

namespace vocelle {

long long readTriples(std::istream& in, long long count, std::vector<glm::tvec3<int>>& triples) {
    long long appended = 0;
    while (appended < count) {
        int x = 0, y = 0, z = 0;
        if (!(in >> x >> y >> z)) break;
        triples.emplace_back(x, y, z);
        ++appended;
    }
    return appended;
}

} // namespace vocelle
