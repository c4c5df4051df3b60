#include "ServerSchema.h"

#include "Pg.h"

#include <QRegularExpression>

namespace serverschema {
namespace {

// Version 1: orders of the agents, the office's catalogue, principals and price lists. Every row
// the office writes carries the transaction that last wrote it (XV), so that an agent's next
// pull takes exactly what changed since the view it last read. The group roles are named after
// the database, so that several agencies can share one server.
const char* const kStep1 =
    "CREATE TABLE agente ("
    " nome text PRIMARY KEY,"
    " creato_il timestamptz NOT NULL DEFAULT now());"
    "CREATE FUNCTION segna_versione() RETURNS trigger LANGUAGE plpgsql AS $$"
    " BEGIN NEW.xv := pg_current_xact_id(); RETURN NEW; END $$;"
    "CREATE TABLE ordine ("
    " agente text NOT NULL DEFAULT current_user,"
    " anno text NOT NULL,"
    " nr text NOT NULL,"
    " versione bigint NOT NULL DEFAULT 1,"
    " impronta text NOT NULL,"
    " cambiato_il timestamptz NOT NULL,"
    " cancellato boolean NOT NULL DEFAULT false,"
    " xv xid8 NOT NULL DEFAULT pg_current_xact_id(),"
    " PRIMARY KEY (agente, anno, nr));"
    "CREATE INDEX ordine_xv ON ordine (xv);"
    "CREATE TABLE ordine_riga ("
    " agente text NOT NULL DEFAULT current_user,"
    " anno text NOT NULL,"
    " nr text NOT NULL,"
    " riga integer NOT NULL,"
    " id_cl text, datao text, datac text, dest text, citta text, pr text,"
    " articolo text, codice text, formato text,"
    " peso double precision, qvendita double precision, qomaggio double precision,"
    " prezzo double precision, sconto double precision, note text,"
    " PRIMARY KEY (agente, anno, nr, riga),"
    " FOREIGN KEY (agente, anno, nr) REFERENCES ordine ON DELETE CASCADE);"
    // The losing side of an order changed on two machines, kept whole.
    "CREATE TABLE ordine_copia ("
    " id bigserial PRIMARY KEY,"
    " agente text NOT NULL DEFAULT current_user,"
    " anno text NOT NULL,"
    " nr text NOT NULL,"
    " impronta text NOT NULL,"
    " cambiato_il timestamptz,"
    " righe text NOT NULL,"
    " salvato_il timestamptz NOT NULL DEFAULT now(),"
    " UNIQUE (agente, anno, nr, impronta));"
    "CREATE TABLE articolo ("
    " codice text PRIMARY KEY,"
    " articolo text, formato text, peso double precision, agg text,"
    " cancellato boolean NOT NULL DEFAULT false,"
    " xv xid8 NOT NULL DEFAULT pg_current_xact_id());"
    "CREATE INDEX articolo_xv ON articolo (xv);"
    "CREATE TABLE mandante ("
    " nome text PRIMARY KEY,"
    " email text,"
    " cancellato boolean NOT NULL DEFAULT false,"
    " xv xid8 NOT NULL DEFAULT pg_current_xact_id());"
    "CREATE INDEX mandante_xv ON mandante (xv);"
    "CREATE TABLE listino ("
    " id bigint PRIMARY KEY,"
    " mandante text NOT NULL,"
    " file text, valido_dal text, importato_il text,"
    " cancellato boolean NOT NULL DEFAULT false,"
    " xv xid8 NOT NULL DEFAULT pg_current_xact_id());"
    "CREATE INDEX listino_xv ON listino (xv);"
    "CREATE TABLE prezzo_listino ("
    " id bigint PRIMARY KEY,"
    " codice text NOT NULL,"
    " mandante text NOT NULL,"
    " prezzo double precision NOT NULL,"
    " valido_dal text NOT NULL,"
    " id_listino bigint,"
    " cancellato boolean NOT NULL DEFAULT false,"
    " xv xid8 NOT NULL DEFAULT pg_current_xact_id());"
    "CREATE INDEX prezzo_listino_xv ON prezzo_listino (xv);"
    "CREATE TRIGGER ordine_xv BEFORE INSERT OR UPDATE ON ordine"
    " FOR EACH ROW EXECUTE FUNCTION segna_versione();"
    "CREATE TRIGGER articolo_xv BEFORE INSERT OR UPDATE ON articolo"
    " FOR EACH ROW EXECUTE FUNCTION segna_versione();"
    "CREATE TRIGGER mandante_xv BEFORE INSERT OR UPDATE ON mandante"
    " FOR EACH ROW EXECUTE FUNCTION segna_versione();"
    "CREATE TRIGGER listino_xv BEFORE INSERT OR UPDATE ON listino"
    " FOR EACH ROW EXECUTE FUNCTION segna_versione();"
    "CREATE TRIGGER prezzo_listino_xv BEFORE INSERT OR UPDATE ON prezzo_listino"
    " FOR EACH ROW EXECUTE FUNCTION segna_versione();"
    // An agent's login: its own orders only, the catalogue read-only.
    "ALTER TABLE ordine ENABLE ROW LEVEL SECURITY;"
    "ALTER TABLE ordine_riga ENABLE ROW LEVEL SECURITY;"
    "ALTER TABLE ordine_copia ENABLE ROW LEVEL SECURITY;"
    "CREATE POLICY proprio ON ordine USING (agente = current_user)"
    " WITH CHECK (agente = current_user);"
    "CREATE POLICY proprio ON ordine_riga USING (agente = current_user)"
    " WITH CHECK (agente = current_user);"
    "CREATE POLICY proprio ON ordine_copia USING (agente = current_user)"
    " WITH CHECK (agente = current_user);"
    "DO $$ DECLARE"
    " agenti text := current_database() || '_agenti';"
    " sede text := current_database() || '_sede';"
    " BEGIN"
    " IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = agenti) THEN"
    "  EXECUTE format('CREATE ROLE %I NOLOGIN', agenti); END IF;"
    " IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = sede) THEN"
    "  EXECUTE format('CREATE ROLE %I NOLOGIN', sede); END IF;"
    " EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database());"
    " EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO %I, %I', current_database(),"
    "  agenti, sede);"
    " EXECUTE format('REVOKE CREATE ON SCHEMA public FROM PUBLIC');"
    " EXECUTE format('GRANT USAGE ON SCHEMA public TO %I, %I', agenti, sede);"
    " EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON ordine, ordine_riga, ordine_copia"
    "  TO %I', agenti);"
    " EXECUTE format('GRANT USAGE ON SEQUENCE ordine_copia_id_seq TO %I', agenti);"
    " EXECUTE format('GRANT SELECT ON articolo, mandante, listino, prezzo_listino TO %I',"
    "  agenti);"
    " EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public"
    "  TO %I', sede);"
    " EXECUTE format('GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %I', sede);"
    // The office sees every agent's orders.
    " EXECUTE format('CREATE POLICY sede ON ordine TO %I USING (true)', sede);"
    " EXECUTE format('CREATE POLICY sede ON ordine_riga TO %I USING (true)', sede);"
    " EXECUTE format('CREATE POLICY sede ON ordine_copia TO %I USING (true)', sede);"
    " END $$;";

// Makes a new agent's login, in the database's group of agents; for a login the program made as an
// agent, gives it the new password (and this agency). The name and the password's SCRAM form
// arrive as values; the statement quotes them itself.
const char* const kCreateAgent =
    "DO $$ BEGIN"
    " EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L', current_setting('gestione.nome'),"
    "  current_setting('gestione.password'));"
    " EXECUTE format('GRANT %I TO %I', current_database() || '_agenti',"
    "  current_setting('gestione.nome'));"
    " INSERT INTO agente (nome) VALUES (current_setting('gestione.nome'))"
    "  ON CONFLICT (nome) DO NOTHING;"
    " END $$;";
const char* const kNewAgentPassword =
    "DO $$ BEGIN"
    " EXECUTE format('ALTER ROLE %I PASSWORD %L', current_setting('gestione.nome'),"
    "  current_setting('gestione.password'));"
    " IF NOT pg_has_role(current_setting('gestione.nome'), current_database() || '_agenti',"
    "  'MEMBER') THEN"
    "  EXECUTE format('GRANT %I TO %I', current_database() || '_agenti',"
    "   current_setting('gestione.nome')); END IF;"
    " INSERT INTO agente (nome) VALUES (current_setting('gestione.nome'))"
    "  ON CONFLICT (nome) DO NOTHING;"
    " END $$;";

// An existing role of the name is an agent's login the program made (for this agency or for
// another one on the same server) when it belongs to groups of agents alone, at least one, has
// no member of its own, no power beyond logging in, and is neither one of this database's
// groups nor the administrator running the tool. The second column: it is this agency's agent.
const char* const kIsProgramAgent =
    "SELECT EXISTS (SELECT FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid"
    "  WHERE m.member = r.oid AND g.rolname LIKE '%\\_agenti' AND NOT g.rolcanlogin)"
    " AND NOT EXISTS (SELECT FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid"
    "  WHERE m.member = r.oid AND (g.rolname NOT LIKE '%\\_agenti' OR g.rolcanlogin))"
    " AND NOT EXISTS (SELECT FROM pg_auth_members m WHERE m.roleid = r.oid)"
    " AND r.rolcanlogin AND NOT (r.rolsuper OR r.rolcreaterole OR r.rolcreatedb"
    "  OR r.rolreplication OR r.rolbypassrls)"
    " AND r.rolname NOT IN (current_database() || '_agenti', current_database() || '_sede',"
    "  current_user),"
    " EXISTS (SELECT FROM agente WHERE nome = r.rolname)"
    " FROM pg_roles r WHERE r.rolname = $1";

// Version 2: the machine that last wrote each order and the one each copy came from, so that
// the agent tells its computers apart among the copies.
const char* const kStep2 = "ALTER TABLE ordine ADD COLUMN macchina text;"
                           "ALTER TABLE ordine_copia ADD COLUMN macchina text;";

// Version 3: customers. A customer belongs to whoever made it: an agent (its login) or the
// office (owner ''). An agent reads the office's customers and its own, never another agent's,
// and writes only its own; a change to an office customer goes up as a request, which only the
// office decides.
const char* const kStep3 =
    "CREATE TABLE cliente ("
    " proprietario text NOT NULL DEFAULT current_user,"
    " codice text NOT NULL,"
    " soggetto text, citta text, provincia text,"
    " versione bigint NOT NULL DEFAULT 1,"
    " cancellato boolean NOT NULL DEFAULT false,"
    " xv xid8 NOT NULL DEFAULT pg_current_xact_id(),"
    " PRIMARY KEY (proprietario, codice));"
    "CREATE INDEX cliente_xv ON cliente (xv);"
    "CREATE TRIGGER cliente_xv BEFORE INSERT OR UPDATE ON cliente"
    " FOR EACH ROW EXECUTE FUNCTION segna_versione();"
    "CREATE TABLE richiesta_cliente ("
    " id bigserial PRIMARY KEY,"
    " agente text NOT NULL DEFAULT current_user,"
    " chiave text NOT NULL,"
    " codice text NOT NULL,"
    " soggetto text, citta text, provincia text,"
    " chiesta_il timestamptz NOT NULL DEFAULT now(),"
    " stato text NOT NULL DEFAULT 'aperta' CHECK (stato IN ('aperta', 'accettata', 'respinta')),"
    " decisa_il timestamptz,"
    " xv xid8 NOT NULL DEFAULT pg_current_xact_id(),"
    " UNIQUE (agente, chiave));"
    "CREATE INDEX richiesta_cliente_xv ON richiesta_cliente (xv);"
    "CREATE TRIGGER richiesta_cliente_xv BEFORE INSERT OR UPDATE ON richiesta_cliente"
    " FOR EACH ROW EXECUTE FUNCTION segna_versione();"
    "ALTER TABLE cliente ENABLE ROW LEVEL SECURITY;"
    "ALTER TABLE richiesta_cliente ENABLE ROW LEVEL SECURITY;"
    "CREATE POLICY leggi ON cliente FOR SELECT"
    " USING (proprietario = '' OR proprietario = current_user);"
    "CREATE POLICY nuovo ON cliente FOR INSERT WITH CHECK (proprietario = current_user);"
    "CREATE POLICY cambia ON cliente FOR UPDATE USING (proprietario = current_user)"
    " WITH CHECK (proprietario = current_user);"
    "CREATE POLICY proprio ON richiesta_cliente FOR SELECT USING (agente = current_user);"
    "CREATE POLICY chiedi ON richiesta_cliente FOR INSERT"
    " WITH CHECK (agente = current_user AND stato = 'aperta' AND decisa_il IS NULL);"
    "DO $$ DECLARE"
    " agenti text := current_database() || '_agenti';"
    " sede text := current_database() || '_sede';"
    " BEGIN"
    " EXECUTE format('GRANT SELECT, INSERT, UPDATE ON cliente TO %I', agenti);"
    " EXECUTE format('GRANT SELECT, INSERT ON richiesta_cliente TO %I', agenti);"
    " EXECUTE format('GRANT USAGE ON SEQUENCE richiesta_cliente_id_seq TO %I', agenti);"
    " EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON cliente, richiesta_cliente"
    "  TO %I', sede);"
    " EXECUTE format('GRANT USAGE ON SEQUENCE richiesta_cliente_id_seq TO %I', sede);"
    " EXECUTE format('CREATE POLICY sede ON cliente TO %I USING (true)', sede);"
    " EXECUTE format('CREATE POLICY sede ON richiesta_cliente TO %I USING (true)', sede);"
    " END $$;";

struct Step {
    int version;
    const char* sql;
};
const Step kSteps[] = {{1, kStep1}, {2, kStep2}, {3, kStep3}};

} // namespace

int currentVersion() {
    return kSteps[std::size(kSteps) - 1].version;
}

Result<int> version(pg::Connection& c) {
    auto exists = c.query("SELECT to_regclass('versione_schema') IS NOT NULL", pg::Shape::one("b"));
    if (!exists)
        return exists.error();
    if (!exists->boolean(0, 0))
        return 0;
    auto v = c.query("SELECT coalesce(max(versione), 0) FROM versione_schema", pg::Shape::one("i"));
    if (!v)
        return v.error();
    return int(v->int64(0, 0));
}

Status usable(pg::Connection& c) {
    auto v = version(c);
    if (!v)
        return v.error();
    if (*v > currentVersion())
        return c.failure(serverfailure::NewerSchema);
    if (*v == 0)
        return c.failure(serverfailure::NoSchema);
    return {};
}

Result<int> migrate(pg::Connection& admin) {
    if (Status s = admin.begin(); !s)
        return s.error();
    // One migration at a time, whoever else runs the tool.
    Status s = admin.command("SELECT pg_advisory_xact_lock(4713001)");
    if (s)
        s = admin.command("CREATE TABLE IF NOT EXISTS versione_schema ("
                          " versione integer PRIMARY KEY,"
                          " applicata_il timestamptz NOT NULL DEFAULT now());");
    int before = 0;
    if (s) {
        auto v = version(admin);
        if (!v)
            s = v.error();
        else
            before = *v;
    }
    if (s && before > currentVersion())
        s = makeError(QStringLiteral("Il database del server è di una versione più recente (%1) "
                                     "di quella che questo programma conosce (%2).")
                          .arg(before)
                          .arg(currentVersion()));
    for (const Step& step : kSteps) {
        if (!s || step.version <= before)
            continue;
        s = admin.command(step.sql);
        if (s)
            s = admin.command("INSERT INTO versione_schema (versione) VALUES ($1::integer)",
                              pg::Params().add(step.version));
    }
    if (s)
        s = admin.command("GRANT SELECT ON versione_schema TO PUBLIC");
    if (!s) {
        admin.rollback();
        return s.error();
    }
    if (Status c = admin.commit(); !c)
        return c.error();
    return before;
}

QString checkLoginName(const QString& name) {
    static const QRegularExpression good(QStringLiteral("^[A-Za-z][A-Za-z0-9_]{0,39}$"));
    if (!good.match(name).hasMatch())
        return QStringLiteral("Il nome \"%1\" non va bene per un accesso: usare lettere, cifre e "
                              "trattino basso, iniziando con una lettera, al massimo 40 caratteri.")
            .arg(name);
    return {};
}

Status createAgent(pg::Connection& admin, const QString& name, const QString& password,
                   bool* passwordChanged) {
    if (QString why = checkLoginName(name); !why.isEmpty())
        return makeError(why);
    if (password.size() < 8)
        return makeError(QStringLiteral("La password dell'agente deve avere almeno 8 caratteri."));
    // Role names are kept in lower case, as the server folds unquoted names.
    const QString login = name.toLower();
    auto secret = admin.encryptPassword(login, password);
    if (!secret)
        return secret.error();
    if (Status s = admin.begin(); !s)
        return s;
    // One change of the agents' logins at a time, whoever else runs the tool.
    Status s = admin.command("SELECT pg_advisory_xact_lock(4713002)");
    bool existing = false;
    bool ours = false;
    if (s) {
        auto role = admin.query(kIsProgramAgent, pg::Shape("bb"), pg::Params().add(login));
        if (!role) {
            s = role.error();
        } else if (role->count() > 0) {
            existing = true;
            ours = role->boolean(0, 1);
            if (!role->boolean(0, 0))
                s = makeError(QStringLiteral("Il ruolo \"%1\" esiste già sul server e non è "
                                             "l'accesso di un agente creato da questo programma: "
                                             "non è stato cambiato.")
                                  .arg(login));
        }
    }
    if (s)
        s = admin.command("SELECT set_config('gestione.nome', $1, true),"
                          " set_config('gestione.password', $2, true)",
                          pg::Params().add(login).addBytes(*secret));
    if (s)
        s = admin.command(existing ? kNewAgentPassword : kCreateAgent);
    if (!s) {
        admin.rollback();
        return s;
    }
    if (Status c = admin.commit(); !c)
        return c;
    if (passwordChanged)
        *passwordChanged = ours;
    return {};
}

} // namespace serverschema
