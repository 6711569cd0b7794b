#include "members.h"

using namespace Qt::StringLiterals;

namespace {

const QString kInvestigador = u"Miembro Investigador"_s;
const QString kCta = u"Miembro del CTA"_s;
const QString kEstudiante = u"Miembro Estudiante"_s;
const QString kExterno = u"Miembro Externo"_s;

// The awkward rows; tests/support/sample.h names the same ids.
enum Awkward : qint64 {
    Researcher = 1,
    Committee = 2,
    External = 3,
    DoctoralStudent = 4,
    NullArea = 5,
    EmptyPhoto = 6,
    MissingPhoto = 7,
    Apostrophe = 8,
    TrailingBlankType = 9,
    NullType = 10,
    NullSni = 11,
    LongProjects = 12,
    UnmatchedTutor = 13,
    RefusedPaths = 14,
    BachelorStudent = 15,
    PostdocStudent = 16,
    SecondExternal = 17,
};

// Given names by gender, so a compound name never mixes them ("María Luis").
const QStringList kWomenNames
    = {u"María"_s,   u"Guadalupe"_s, u"Ana"_s,     u"Verónica"_s, u"Patricia"_s, u"Adriana"_s, u"Leticia"_s,
       u"Rocío"_s,   u"Gabriela"_s,  u"Claudia"_s, u"Mónica"_s,   u"Beatriz"_s,  u"Silvia"_s,  u"Lourdes"_s,
       u"Araceli"_s, u"Itzel"_s,     u"Citlali"_s, u"Ximena"_s,   u"Begoña"_s,   u"Elena"_s,   u"Teresa"_s};
const QStringList kMenNames
    = {u"José"_s,       u"Juan"_s,      u"Luis"_s,    u"Jorge"_s,    u"Miguel Ángel"_s,
       u"Francisco"_s,  u"Alejandro"_s, u"Ricardo"_s, u"Sergio"_s,   u"Arturo"_s,
       u"Eduardo"_s,    u"Héctor"_s,    u"Raúl"_s,    u"Fernando"_s, u"Ramón"_s,
       u"Cuauhtémoc"_s, u"Iñaki"_s,     u"Rubén"_s,   u"Óscar"_s};
const QStringList kSurnames
    = {u"García"_s,    u"Hernández"_s, u"Martínez"_s,  u"López"_s,       u"González"_s, u"Pérez"_s,
       u"Rodríguez"_s, u"Sánchez"_s,   u"Ramírez"_s,   u"Cruz"_s,        u"Flores"_s,   u"Gómez"_s,
       u"Morales"_s,   u"Vázquez"_s,   u"Jiménez"_s,   u"Reyes"_s,       u"Díaz"_s,     u"Torres"_s,
       u"Gutiérrez"_s, u"Ruiz"_s,      u"Mendoza"_s,   u"Aguilar"_s,     u"Ortiz"_s,    u"Moreno"_s,
       u"Castillo"_s,  u"Romero"_s,    u"Álvarez"_s,   u"Méndez"_s,      u"Chávez"_s,   u"Rivera"_s,
       u"Juárez"_s,    u"Ramos"_s,     u"Domínguez"_s, u"Herrera"_s,     u"Medina"_s,   u"Castañeda"_s,
       u"Núñez"_s,     u"Ibarra"_s,    u"Zúñiga"_s,    u"Xicoténcatl"_s, u"Peña"_s,     u"Salinas"_s};
const QStringList kSpecialities = {u"Biotecnología"_s,
                                   u"Bioquímica"_s,
                                   u"Microbiología"_s,
                                   u"Ingeniería Química"_s,
                                   u"Ciencia de los Alimentos"_s,
                                   u"Biología Molecular"_s,
                                   u"Ingeniería Bioquímica"_s,
                                   u"Química Orgánica"_s,
                                   u"Bioinformática"_s,
                                   u"Biología Marina"_s};
const QStringList kSniLevels = {u"Candidato"_s, u"I"_s, u"I"_s, u"II"_s, u"II"_s, u"III"_s, u"Emérito"_s};
const QStringList kPositions = {u"Profesor Investigador Titular C"_s,
                                u"Profesor Investigador Titular A"_s,
                                u"Investigador Asociado"_s,
                                u"Técnico Académico"_s,
                                u"Jefe de Departamento"_s,
                                u"Coordinador de Posgrado"_s,
                                u"Director de Investigación"_s};
const QStringList kLines = {u"Biocatálisis"_s,
                            u"Ingeniería de proteínas"_s,
                            u"Enzimas extremófilas"_s,
                            u"Fermentación en estado sólido"_s,
                            u"Biorremediación"_s,
                            u"Cinética enzimática"_s,
                            u"Inmovilización de enzimas"_s,
                            u"Metagenómica"_s,
                            u"Bioprocesos"_s,
                            u"Evolución dirigida"_s,
                            u"Glicobiología"_s,
                            u"Biología estructural"_s};
const QStringList kAreas = {u"Industria alimentaria"_s, u"Industria textil"_s,
                            u"Industria papelera"_s,    u"Tratamiento de aguas residuales"_s,
                            u"Biocombustibles"_s,       u"Industria farmacéutica"_s,
                            u"Agricultura"_s,           u"Detergentes"_s,
                            u"Alimentación animal"_s,   u"Química fina"_s};
const QStringList kSubprograms
    = {u"Subprograma 1: Descubrimiento de enzimas"_s, u"Subprograma 2: Ingeniería de enzimas"_s,
       u"Subprograma 3: Producción de enzimas"_s, u"Subprograma 4: Aplicaciones industriales"_s,
       u"Subprograma 5: Formación de recursos humanos"_s};
const QStringList kEnzymes
    = {u"Lacasa"_s,   u"Celulasa"_s,        u"Xilanasa"_s,  u"Lipasa"_s,    u"Amilasa"_s,
       u"Proteasa"_s, u"Peroxidasa"_s,      u"Pectinasa"_s, u"Quitinasa"_s, u"Fitasa"_s,
       u"Tanasa"_s,   u"Glucosa oxidasa"_s, u"Invertasa"_s, u"Esterasa"_s};
const QStringList kProjectStarts = {u"Producción de"_s,
                                    u"Caracterización de"_s,
                                    u"Inmovilización de"_s,
                                    u"Expresión heteróloga de"_s,
                                    u"Mejoramiento por evolución dirigida de"_s,
                                    u"Aplicación de"_s};
const QStringList kProjectEnds = {u"para el tratamiento de efluentes textiles"_s,
                                  u"en la panificación"_s,
                                  u"a partir de residuos agroindustriales"_s,
                                  u"de hongos del bosque mesófilo"_s,
                                  u"para la síntesis de biodiésel"_s,
                                  u"en la clarificación de jugos"_s,
                                  u"de bacterias termófilas de aguas termales"_s};
const QStringList kDepartments
    = {u"Instituto de Biotecnología"_s,           u"Facultad de Química"_s,
       u"Centro de Investigación en Alimentos"_s, u"Departamento de Bioingeniería"_s,
       u"Unidad de Biología Molecular"_s,         u"División de Ciencias Básicas"_s};
const QStringList kStreets
    = {u"Av. Universidad"_s, u"Calzada del Tecnológico"_s, u"Blvd. de los Científicos"_s,
       u"Av. Juárez"_s,      u"Carretera Federal km"_s,    u"Circuito Exterior"_s};
const QStringList kThesisStarts = {u"Estudio de la actividad de"_s, u"Purificación y caracterización de"_s,
                                   u"Modelado cinético de"_s, u"Producción a escala piloto de"_s};
const QStringList kBusiness
    = {u"Fabricación de ingredientes alimentarios"_s, u"Productos químicos industriales"_s,
       u"Tratamiento de aguas"_s, u"Servicios de análisis de laboratorio"_s};
const QStringList kLinkTypes = {u"Convenio de colaboración"_s, u"Servicios tecnológicos"_s,
                                u"Proyecto conjunto"_s, u"Licenciamiento de tecnología"_s};

// Plain lower-case ASCII for e-mail addresses and web pages.
QString slug(const QString &text)
{
    QString result;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            result.append(c.toLower());
    }
    return result;
}

QString joinPicks(Random &random, const QStringList &pool, int most, const QString &separator)
{
    QStringList chosen;
    const int wanted = 1 + random.below(most);
    for (int i = 0; i < wanted; ++i) {
        const QString &item = random.pick(pool);
        if (!chosen.contains(item))
            chosen.append(item);
    }
    return chosen.join(separator);
}

QString project(Random &random)
{
    const QString &end = random.pick(kProjectEnds);
    const QString enzyme = random.pick(kEnzymes).toLower();
    const QString &start = random.pick(kProjectStarts);
    return start + u' ' + enzyme + u' ' + end;
}

Institution makeInstitution(const QString &name, const QString &acronym, const QString &state,
                            const QString &city, bool company, int index)
{
    Institution institution{name, acronym, state, city, slug(acronym) + u".edu.mx"_s, company, {}, {}};
    if (company)
        institution.web = slug(acronym) + u".com.mx"_s;
    // File names come in the letter case real folders have; half of the rows name them
    // in another case.
    institution.logoFile
        = index % 3 == 0 ? u"Logo_"_s + acronym + u".jpg"_s : u"logo_"_s + acronym.toLower() + u".jpg"_s;
    institution.logoName
        = u"Fotos\\"_s + (index % 2 == 0 ? institution.logoFile : institution.logoFile.toUpper());
    return institution;
}

} // namespace

const std::vector<Institution> &institutions()
{
    static const std::vector<Institution> list = [] {
        struct Row
        {
            QString name, acronym, state, city;
            bool company;
        };
        const std::vector<Row> rows = {
            {u"Universidad Autónoma de Sierra Verde"_s, u"UASV"_s, u"Durango"_s, u"Sierra Verde"_s, false},
            {u"Instituto Tecnológico de Río Claro"_s, u"ITRC"_s, u"Veracruz"_s, u"Río Claro"_s, false},
            {u"Centro de Investigación en Biocatálisis del Golfo"_s, u"CIBG"_s, u"Tamaulipas"_s,
             u"Puerto Lerdo"_s, false},
            {u"Universidad de Altamira del Norte"_s, u"UAN"_s, u"Nuevo León"_s, u"Altamira del Norte"_s,
             false},
            {u"Instituto Politécnico del Bajío Central"_s, u"IPBC"_s, u"Guanajuato"_s, u"San Telmo"_s, false},
            {u"Colegio de Ciencias Agrícolas de Tierra Caliente"_s, u"CCATC"_s, u"Michoacán"_s,
             u"Tierra Caliente"_s, false},
            {u"Universidad Metropolitana de Xochiaca"_s, u"UMX"_s, u"Estado de México"_s, u"Xochiaca"_s,
             false},
            {u"Centro de Biotecnología Marina del Pacífico"_s, u"CBMP"_s, u"Sinaloa"_s, u"Bahía Azul"_s,
             false},
            {u"Universidad del Desierto de Samalayuca"_s, u"UDS"_s, u"Chihuahua"_s, u"Médanos"_s, false},
            {u"Enzimática Industrial del Norte"_s, u"EINSA"_s, u"Coahuila"_s, u"Ramos Nuevos"_s, true},
            {u"Biofermentos de Occidente"_s, u"BIOFO"_s, u"Jalisco"_s, u"Tlaquepa"_s, true},
            {u"Alimentos Tláloc"_s, u"ATLA"_s, u"Puebla"_s, u"Cholollan"_s, true},
        };
        std::vector<Institution> result;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row &r = rows[i];
            result.push_back(makeInstitution(r.name, r.acronym, r.state, r.city, r.company, int(i)));
        }
        return result;
    }();
    return list;
}

const QStringList &memberColumns()
{
    static const QStringList columns = {u"id"_s,
                                        u"nombre"_s,
                                        u"tipo_miembro_red"_s,
                                        u"grado_academico"_s,
                                        u"especialidad"_s,
                                        u"nivel_sni"_s,
                                        u"institucion"_s,
                                        u"entidad_fed"_s,
                                        u"email"_s,
                                        u"cargo"_s,
                                        u"linea_investigacion"_s,
                                        u"area_aplicacion"_s,
                                        u"subprograma_red"_s,
                                        u"proyectos"_s,
                                        u"enzimas"_s,
                                        u"estudiates"_s,
                                        u"dependencia"_s,
                                        u"dir_dependencia"_s,
                                        u"pagina_web"_s,
                                        u"foto"_s,
                                        u"logo"_s,
                                        u"tutor"_s,
                                        u"cotutor"_s,
                                        u"nombre_tesis"_s,
                                        u"razon_social"_s,
                                        u"reniecyt"_s,
                                        u"giro"_s,
                                        u"tipo_vinculacion"_s,
                                        u"instituciones_vinculacion"_s,
                                        u"empresa"_s,
                                        u"todo"_s};
    return columns;
}

std::vector<const QString *> memberValues(const Member &m)
{
    // Every column but id, in table order.
    return {&m.nombre,
            &m.tipo_miembro_red,
            &m.grado_academico,
            &m.especialidad,
            &m.nivel_sni,
            &m.institucion,
            &m.entidad_fed,
            &m.email,
            &m.cargo,
            &m.linea_investigacion,
            &m.area_aplicacion,
            &m.subprograma_red,
            &m.proyectos,
            &m.enzimas,
            &m.estudiates,
            &m.dependencia,
            &m.dir_dependencia,
            &m.pagina_web,
            &m.foto,
            &m.logo,
            &m.tutor,
            &m.cotutor,
            &m.nombre_tesis,
            &m.razon_social,
            &m.reniecyt,
            &m.giro,
            &m.tipo_vinculacion,
            &m.instituciones_vinculacion,
            &m.empresa,
            &m.todo};
}

MemberGenerator::MemberGenerator(std::uint64_t seed, qint64 count, int photos)
    : m_seed(seed)
    , m_count(count)
    , m_photos(photos)
{}

QString MemberGenerator::typeOf(qint64 id) const
{
    switch (id) {
    case Researcher:
    case NullArea:
    case EmptyPhoto:
    case MissingPhoto:
    case Apostrophe:
    case NullSni:
    case LongProjects:
    case RefusedPaths:
        return kInvestigador;
    case Committee:
        return kCta;
    case External:
    case SecondExternal:
        return kExterno;
    case DoctoralStudent:
    case UnmatchedTutor:
    case BachelorStudent:
    case PostdocStudent:
        return kEstudiante;
    case TrailingBlankType:
        return kInvestigador + u' ';
    case NullType:
        return {};
    default:
        break;
    }
    const int bucket = Random::forItem(m_seed ^ 0x7F4A7C15ULL, std::uint64_t(id)).below(100);
    if (bucket < 45)
        return kInvestigador;
    if (bucket < 55)
        return kCta;
    if (bucket < 88)
        return kEstudiante;
    return kExterno;
}

QString MemberGenerator::nameOf(qint64 id) const
{
    if (id == Apostrophe)
        return u"Patricio O'Farrill Baeza"_s;
    Random random = Random::forItem(m_seed ^ 0x3C6EF372ULL, std::uint64_t(id));
    const QStringList &names = random.chance(50) ? kWomenNames : kMenNames;
    QString given = random.pick(names);
    if (random.chance(25)) {
        const QString second = random.pick(names);
        if (second != given)
            given += u' ' + second;
    }
    const QString &second = random.pick(kSurnames);
    const QString &first = random.pick(kSurnames);
    return given + u' ' + first + u' ' + second;
}

QString MemberGenerator::photoFile(int n)
{
    return u"miembro_%1.jpg"_s.arg(n, 4, 10, QLatin1Char('0'));
}

QString MemberGenerator::photoInitials(int n) const
{
    const QStringList words = nameOf(n).split(u' ');
    QString initials = words.first().left(1);
    if (words.size() >= 2)
        initials += words.at(words.size() - 2).left(1); // the first surname
    return initials.toUpper();
}

QString MemberGenerator::photoName(qint64 id) const
{
    if (m_photos <= 0)
        return {};
    const int n = int((id - 1) % m_photos) + 1;
    // Most rows name the photo in another letter case than the file has.
    const QString file = photoFile(n);
    if (n % 4 == 0)
        return u"Fotos\\"_s + file;
    return u"Fotos\\Miembro_"_s + file.mid(8, 4) + u".JPG"_s;
}

qint64 MemberGenerator::researcherNear(qint64 id, std::uint64_t salt) const
{
    if (m_count < 2)
        return 0;
    qint64 candidate = 1
        + Random::forItem(m_seed ^ salt, std::uint64_t(id)).below(int(std::min<qint64>(m_count, 1 << 30)));
    for (qint64 step = 0; step < m_count; ++step, candidate = candidate % m_count + 1) {
        const QString type = typeOf(candidate);
        if (candidate != id && (type == kInvestigador || type == kCta))
            return candidate;
    }
    return 0;
}

void MemberGenerator::fillResearcher(Member &m, Random &random) const
{
    m.grado_academico = random.chance(80) ? u"Doctorado"_s : u"Maestría"_s;
    m.especialidad = random.pick(kSpecialities);
    m.nivel_sni = random.pick(kSniLevels);
    m.cargo = random.pick(kPositions);
    QStringList students;
    const int count = random.below(4);
    for (int i = 0; i < count; ++i) {
        const qint64 studentId = 1 + random.below(int(std::min<qint64>(m_count, 1 << 30)));
        const QString level = random.pick({u"Licenciatura"_s, u"Maestría"_s, u"Doctorado"_s});
        QString student = level + u": "_s + nameOf(studentId);
        if (random.chance(40))
            student += u" ("_s + random.pick(kEnzymes).toLower() + u')';
        students.append(student);
    }
    if (!students.isEmpty())
        m.estudiates = students.join(u"; "_s);
}

void MemberGenerator::fillStudent(Member &m, Random &random) const
{
    static const QStringList levels
        = {u"Licenciatura"_s, u"Licenciatura"_s, u"Maestría"_s,  u"Maestría"_s,
           u"Maestría"_s,     u"Doctorado"_s,    u"Doctorado"_s, u"Posdoctorado"_s};
    m.grado_academico = random.pick(levels);
    m.especialidad = random.pick(kSpecialities);
    m.nivel_sni = random.chance(85) ? u"No aplica"_s : u"Candidato"_s;
    m.cargo = u"Estudiante de "_s + m.grado_academico;
    if (const qint64 tutor = researcherNear(m.id, 0x1111); tutor > 0)
        m.tutor = QString::number(tutor);
    if (random.chance(55)) {
        if (const qint64 cotutor = researcherNear(m.id, 0x2222); cotutor > 0)
            m.cotutor = QString::number(cotutor);
    }
    const QString &end = random.pick(kProjectEnds);
    const QString enzyme = random.pick(kEnzymes).toLower();
    const QString &start = random.pick(kThesisStarts);
    m.nombre_tesis = start + u' ' + enzyme + u' ' + end;
}

void MemberGenerator::fillExternal(Member &m, const Institution &company, Random &random) const
{
    const auto &all = institutions();
    m.grado_academico = random.chance(50) ? u"Licenciatura"_s : u"Maestría"_s;
    m.especialidad = random.pick(kSpecialities);
    m.nivel_sni = u"No aplica"_s;
    m.cargo = random.pick({u"Gerente de Investigación"_s, u"Director Técnico"_s, u"Jefe de Calidad"_s});
    m.dependencia = random.pick({u"Investigación y Desarrollo"_s, u"Dirección Técnica"_s,
                                 u"Control de Calidad"_s, u"Planta de Fermentación"_s});
    m.razon_social = company.name + u" S.A. de C.V."_s;
    m.empresa = company.name;
    m.reniecyt = u"RENIECYT %1"_s.arg(1700000 + random.below(99999));
    m.giro = random.pick(kBusiness);
    m.tipo_vinculacion = random.pick(kLinkTypes);
    const QString &acronym = all.at(std::size_t(random.below(9))).acronym;
    const QString &linked = all.at(std::size_t(random.below(9))).name;
    m.instituciones_vinculacion = linked + u", "_s + acronym;
    m.pagina_web = u"www."_s + company.web;
}

void MemberGenerator::applyAwkward(Member &m) const
{
    switch (m.id) {
    case DoctoralStudent:
        m.grado_academico = u"Doctorado"_s;
        m.cargo = u"Estudiante de Doctorado"_s;
        m.tutor = QString::number(Researcher);
        m.cotutor = QString::number(Committee);
        break;
    case NullArea:
        m.area_aplicacion = QString();
        break;
    case EmptyPhoto:
        m.foto = u""_s;
        break;
    case MissingPhoto:
        m.foto = u"Fotos\\Miembro_Ausente.JPG"_s;
        break;
    case NullSni:
        m.nivel_sni = QString();
        break;
    case LongProjects: {
        QStringList projects;
        Random random = Random::forItem(m_seed, 0xABCDEF);
        while (projects.join(u"; "_s).size() < 5000)
            projects.append(project(random));
        m.proyectos = projects.join(u"; "_s);
        break;
    }
    case UnmatchedTutor:
        m.grado_academico = u"Maestría"_s;
        m.cargo = u"Estudiante de Maestría"_s;
        m.tutor = u"Dr. Ernesto Ibarra (externo)"_s;
        m.cotutor = QString();
        break;
    case RefusedPaths:
        m.foto = u"..\\Fotos\\miembro_0001.jpg"_s;
        m.logo = u"\\\\servidor\\Fotos\\logo_uasv.jpg"_s;
        break;
    case BachelorStudent:
        m.grado_academico = u"Licenciatura"_s;
        m.cargo = u"Estudiante de Licenciatura"_s;
        break;
    case PostdocStudent:
        m.grado_academico = u"Posdoctorado"_s;
        m.cargo = u"Estudiante de Posdoctorado"_s;
        break;
    default:
        break;
    }
}

Member MemberGenerator::member(qint64 id) const
{
    Random random = Random::forItem(m_seed, std::uint64_t(id));
    Member m;
    m.id = id;
    m.nombre = nameOf(id);
    m.tipo_miembro_red = typeOf(id);

    // External members work at one of the companies, everybody else at an institution.
    const auto &all = institutions();
    const bool external = m.tipo_miembro_red == kExterno;
    const std::size_t home = id == Researcher ? 1
        : external                            ? 9 + std::size_t(random.below(3))
                                              : std::size_t(random.below(9));
    const Institution &institution = all.at(home);
    m.institucion = institution.name;
    m.entidad_fed = institution.state;
    m.logo = institution.logoName;
    m.foto = photoName(id);
    m.dependencia = random.pick(kDepartments);
    const int postCode = 20000 + random.below(79999);
    const int number = 100 + random.below(3900);
    const QString &street = random.pick(kStreets);
    m.dir_dependencia = street + u' ' + QString::number(number) + u", "_s + institution.city + u", "_s
        + institution.state + u", C.P. "_s + QString::number(postCode);
    const QStringList words = m.nombre.split(u' ');
    const QString user = slug(words.first().left(1) + words.at(words.size() - 2));
    m.email = user + u'@' + institution.web;
    m.pagina_web = random.chance(60) ? u"www."_s + institution.web + u"/~"_s + user : QString();
    m.linea_investigacion = joinPicks(random, kLines, 2, u", "_s);
    m.area_aplicacion = joinPicks(random, kAreas, 3, u", "_s);
    m.subprograma_red = joinPicks(random, kSubprograms, 2, u"; "_s);
    QStringList projects;
    for (int i = 0, n = 1 + random.below(3); i < n; ++i)
        projects.append(project(random));
    m.proyectos = projects.join(u"; "_s);
    m.enzimas = joinPicks(random, kEnzymes, 3, u", "_s);

    if (m.tipo_miembro_red == kEstudiante)
        fillStudent(m, random);
    else if (external)
        fillExternal(m, institution, random);
    else
        fillResearcher(m, random);
    applyAwkward(m);

    QStringList text;
    for (const QString *value : memberValues(m)) {
        if (value == &m.foto || value == &m.logo || value == &m.tutor || value == &m.cotutor
            || value == &m.todo)
            continue;
        if (!value->isEmpty())
            text.append(*value);
    }
    m.todo = text.join(u' ');
    return m;
}
