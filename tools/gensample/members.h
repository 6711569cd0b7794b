#pragma once

#include "random.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// One row of the table `directorio`. A null QString is stored as NULL, an empty one as ''.
struct Member
{
    qint64 id = 0;
    QString nombre, tipo_miembro_red, grado_academico, especialidad, nivel_sni, institucion, entidad_fed,
        email, cargo, linea_investigacion, area_aplicacion, subprograma_red, proyectos, enzimas, estudiates,
        dependencia, dir_dependencia, pagina_web, foto, logo, tutor, cotutor, nombre_tesis, razon_social,
        reniecyt, giro, tipo_vinculacion, instituciones_vinculacion, empresa, todo;
};

// The column names in table order, and a member's values in the same order.
[[nodiscard]] const QStringList &memberColumns();
[[nodiscard]] std::vector<const QString *> memberValues(const Member &member);

// An institution or company: the logo of the members who work there.
struct Institution
{
    QString name;
    QString acronym;
    QString state;
    QString city;
    QString web; // domain, without scheme
    bool company = false;
    QString logoFile; // the file name on disk, under Fotos/
    QString logoName; // the name the members' rows use (letter case may differ)
};

[[nodiscard]] const std::vector<Institution> &institutions();

// Makes the members of a directory of `count` members, one at a time and in any order:
// member i is the same for the same seed whatever was made before it. The first rows
// are the awkward ones the tests rely on (see the ids in tests/support/sample.h).
class MemberGenerator
{
public:
    MemberGenerator(std::uint64_t seed, qint64 count, int photos);

    [[nodiscard]] Member member(qint64 id) const;
    // The file name on disk of photo number n (1-based) and the initials drawn on it.
    [[nodiscard]] static QString photoFile(int n);
    [[nodiscard]] QString photoInitials(int n) const;

private:
    [[nodiscard]] QString typeOf(qint64 id) const;
    [[nodiscard]] QString nameOf(qint64 id) const;
    [[nodiscard]] qint64 researcherNear(qint64 id, std::uint64_t salt) const;
    void fillResearcher(Member &m, Random &random) const;
    void fillStudent(Member &m, Random &random) const;
    void fillExternal(Member &m, const Institution &company, Random &random) const;
    void applyAwkward(Member &m) const;
    [[nodiscard]] QString photoName(qint64 id) const;

    std::uint64_t m_seed;
    qint64 m_count;
    int m_photos;
};
