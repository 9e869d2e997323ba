// The facade: every operation answers from the scenario named by KOBMC_SCENARIO and is recorded
// in the journal named by KOBMC_JOURNAL, as the offline service does.

using System.Collections.Generic;
using KobMachineControl.ApiModels;

namespace KobMachineControl
{
#if KOBMC_NO_FACADE
    public static class SomeOtherFacade
#else
    public static class MachineControlIntegration
#endif
    {
        public static void SetTenantUniqueId(string tenantUniqueId)
        {
            Context("SetTenantUniqueId", tenantUniqueId);
            Scenario.Current.Tenant = tenantUniqueId;
        }

        public static void SetProject(string project)
        {
            Context("SetProject", project);
            Scenario.Current.Project = project;
        }

        public static bool IsLoggedIn()
        {
            var answer = Context("IsLoggedIn");
            return answer != null ? (bool)answer.Result : Scenario.Current.LoggedIn;
        }

        public static void Logout()
        {
            Context("Logout");
            Scenario.Current.LoggedIn = false;
        }

        public static Systems GetSystemsMC(ref int responsecode) => Query<Systems>("GetSystemsMC", ref responsecode);
        public static Systems GetSystemsVT(ref int responsecode) => Query<Systems>("GetSystemsVT", ref responsecode);
        public static ApiModels.System GetSystem(string systemId, ref int responsecode) => Query<ApiModels.System>("GetSystem", ref responsecode, systemId);
        public static List<Connection> GetConnectionsMC(ref int responsecode) => Query<List<Connection>>("GetConnectionsMC", ref responsecode);
        public static List<Connection> GetConnectionsVT(ref int responsecode) => Query<List<Connection>>("GetConnectionsVT", ref responsecode);
        public static List<UnitTypes> GetTypes(ref int responsecode) => Query<List<UnitTypes>>("GetTypes", ref responsecode);
        public static List<ExportRule> GetExportRules(ref int responsecode) => Query<List<ExportRule>>("GetExportRules", ref responsecode);

        public static List<string> GetDomains(int responsecode)
        {
            int unwritable = responsecode;
            return Query<List<string>>("GetDomains", ref unwritable, responsecode);
        }

        public static List<string> GetExportFormats(List<string> unittypes, string ruletype, ref int responsecode) =>
            Query<List<string>>("GetExportFormats", ref responsecode, unittypes, ruletype);

        public static void SetExportMcFile(string exportfileid, List<string> unittypes, string exporttype, string sourcefileid, int sourcefilerev, ref int responsecode) =>
            Query<object>("SetExportMcFile", ref responsecode, exportfileid, unittypes, exporttype, sourcefileid, sourcefilerev);

#if !KOBMC_MISSING_OPERATION
        public static void SetExportVtFile(string fileid, string exporttype, string sourcefileid, int sourcefilerev, ref int responsecode) =>
            Query<object>("SetExportVtFile", ref responsecode, fileid, exporttype, sourcefileid, sourcefilerev);
#endif

        // Context operations act on the state unless an answer applies.
        private static Scenario.Answer Context(string operation, params object[] arguments)
        {
            int none = 0;
            return Scenario.Current.Consult(operation, arguments, ref none);
        }

        // Other operations need an answer.
        private static T Query<T>(string operation, ref int responsecode, params object[] arguments)
        {
            var answer = Scenario.Current.Consult(operation, arguments, ref responsecode)
                ?? throw new global::System.InvalidOperationException("no answer scripted for " + operation);
            return (T)answer.Result;
        }
    }
}
