// One [UnmanagedCallersOnly] entry per facade operation. Each decodes its arguments, calls the
// facade operation of the same name with the caller's own response code, and encodes the result,
// all in one crossing. No managed exception may leave an entry: failure is reported as status 1
// with the error's message as the result.

using System;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Runtime.Loader;
using Facade = KobMachineControl.MachineControlIntegration;

namespace KobMachineControl.Adapter
{
    public static unsafe class Entry
    {
        private const int Succeeded = 0;
        private const int Failed = 1;

        private delegate void Body(ref WireReader arguments, WireWriter result, int* responsecode);

        private static int Run(byte* arguments, int length, int* responsecode, byte** result, int* resultLength, Body body)
        {
            var writer = new WireWriter();
            try
            {
                var reader = new WireReader(arguments, length);
                body(ref reader, writer, responsecode);
                writer.Release(result, resultLength);
                return Succeeded;
            }
            catch (Exception error)
            {
                return Fail(error, writer, result, resultLength);
            }
            finally
            {
                writer.Dispose();
            }
        }

        private static int Fail(Exception error, WireWriter writer, byte** result, int* resultLength)
        {
            try
            {
                writer.Dispose();
                using var message = new WireWriter();
                message.Text(error is TargetInvocationException { InnerException: { } inner } ? inner.Message : error.Message);
                message.Release(result, resultLength);
            }
            catch
            {
                *result = null;
                *resultLength = 0;
            }
            return Failed;
        }

        // ---- Binding to the configured KobMachineControl ------------------------------------------

        private static readonly object BindLock = new object();
        private static string _boundPath;

        // The facade operations and their parameters, as the contract has them.
        private static readonly (string Name, string Returns, string[] Parameters)[] Contract =
        {
            ("SetTenantUniqueId", "System.Void", new[] { "System.String" }),
            ("SetProject", "System.Void", new[] { "System.String" }),
            ("IsLoggedIn", "System.Boolean", new string[0]),
            ("Logout", "System.Void", new string[0]),
            ("GetSystemsMC", "KobMachineControl.ApiModels.Systems", new[] { "System.Int32&" }),
            ("GetSystemsVT", "KobMachineControl.ApiModels.Systems", new[] { "System.Int32&" }),
            ("GetSystem", "KobMachineControl.ApiModels.System", new[] { "System.String", "System.Int32&" }),
            ("GetConnectionsMC", "List<KobMachineControl.ApiModels.Connection>", new[] { "System.Int32&" }),
            ("GetConnectionsVT", "List<KobMachineControl.ApiModels.Connection>", new[] { "System.Int32&" }),
            ("GetTypes", "List<KobMachineControl.ApiModels.UnitTypes>", new[] { "System.Int32&" }),
            ("GetExportRules", "List<KobMachineControl.ApiModels.ExportRule>", new[] { "System.Int32&" }),
            ("GetDomains", "List<System.String>", new[] { "System.Int32" }),
            ("GetExportFormats", "List<System.String>", new[] { "List<System.String>", "System.String", "System.Int32&" }),
            ("SetExportMcFile", "System.Void", new[] { "System.String", "List<System.String>", "System.String", "System.String", "System.Int32", "System.Int32&" }),
            ("SetExportVtFile", "System.Void", new[] { "System.String", "System.String", "System.String", "System.Int32", "System.Int32&" }),
        };

        private static string Describe(Type type) =>
            type.IsGenericType && type.GetGenericTypeDefinition() == typeof(System.Collections.Generic.List<>)
                ? $"List<{Describe(type.GetGenericArguments()[0])}>"
                : type.IsByRef ? Describe(type.GetElementType()) + "&" : type.FullName;

        // Loads KobMachineControl from `path` into the adapter's own load context, where the
        // operations below bind to it, and checks that it has the facade the bridge calls.
        [UnmanagedCallersOnly]
        public static int Bind(char* path, int pathLength, byte** result, int* resultLength)
        {
            var writer = new WireWriter();
            try
            {
                string fullPath = Path.GetFullPath(new string(path, 0, pathLength));
                lock (BindLock)
                {
                    if (_boundPath == null)
                    {
                        var context = AssemblyLoadContext.GetLoadContext(typeof(Entry).Assembly);
                        var assembly = context.LoadFromAssemblyPath(fullPath);
                        if (assembly.GetName().Name != "KobMachineControl")
                            throw new InvalidOperationException($"{fullPath} is the assembly {assembly.GetName().Name}, not KobMachineControl");
                        context.Resolving += (_, name) => name.Name == "KobMachineControl" ? assembly : null;
                        Verify(assembly);
                        _boundPath = fullPath;
                    }
                    else if (_boundPath != fullPath)
                    {
                        throw new InvalidOperationException($"this process already uses KobMachineControl from {_boundPath}");
                    }
                }
                writer.Dispose();
                *result = null;
                *resultLength = 0;
                return Succeeded;
            }
            catch (Exception error)
            {
                return Fail(error, writer, result, resultLength);
            }
        }

        private static void Verify(Assembly assembly)
        {
            var facade = assembly.GetType("KobMachineControl.MachineControlIntegration")
                ?? throw new InvalidOperationException("KobMachineControl has no public class KobMachineControl.MachineControlIntegration");
            foreach (var (name, returns, parameters) in Contract)
            {
                var method = facade.GetMethods(BindingFlags.Public | BindingFlags.Static).FirstOrDefault(m =>
                    m.Name == name && Describe(m.ReturnType) == returns &&
                    m.GetParameters().Select(p => Describe(p.ParameterType)).SequenceEqual(parameters));
                if (method == null)
                    throw new InvalidOperationException($"KobMachineControl.MachineControlIntegration has no public static {returns} {name}({string.Join(", ", parameters)})");
            }
        }

        // ---- The operations -------------------------------------------------------------------

        [UnmanagedCallersOnly]
        public static int SetTenantUniqueId(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => Facade.SetTenantUniqueId(args.Text()));

        [UnmanagedCallersOnly]
        public static int SetProject(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => Facade.SetProject(args.Text()));

        [UnmanagedCallersOnly]
        public static int IsLoggedIn(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.Bool(Facade.IsLoggedIn()));

        [UnmanagedCallersOnly]
        public static int Logout(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => Facade.Logout());

        [UnmanagedCallersOnly]
        public static int GetSystemsMC(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.Model(Facade.GetSystemsMC(ref *c)));

        [UnmanagedCallersOnly]
        public static int GetSystemsVT(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.Model(Facade.GetSystemsVT(ref *c)));

        [UnmanagedCallersOnly]
        public static int GetSystem(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.Model(Facade.GetSystem(args.Text(), ref *c)));

        [UnmanagedCallersOnly]
        public static int GetConnectionsMC(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.List(Facade.GetConnectionsMC(ref *c), static (x, m) => x.Model(m)));

        [UnmanagedCallersOnly]
        public static int GetConnectionsVT(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.List(Facade.GetConnectionsVT(ref *c), static (x, m) => x.Model(m)));

        [UnmanagedCallersOnly]
        public static int GetTypes(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.List(Facade.GetTypes(ref *c), static (x, m) => x.Model(m)));

        [UnmanagedCallersOnly]
        public static int GetExportRules(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.List(Facade.GetExportRules(ref *c), static (x, m) => x.Model(m)));

        [UnmanagedCallersOnly]
        public static int GetDomains(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) => w.Texts(Facade.GetDomains(args.Int32())));

        [UnmanagedCallersOnly]
        public static int GetExportFormats(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) =>
            {
                var unittypes = args.Texts();
                w.Texts(Facade.GetExportFormats(unittypes, args.Text(), ref *c));
            });

        [UnmanagedCallersOnly]
        public static int SetExportMcFile(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) =>
            {
                var exportfileid = args.Text();
                var unittypes = args.Texts();
                var exporttype = args.Text();
                var sourcefileid = args.Text();
                Facade.SetExportMcFile(exportfileid, unittypes, exporttype, sourcefileid, args.Int32(), ref *c);
            });

        [UnmanagedCallersOnly]
        public static int SetExportVtFile(byte* a, int n, int* code, byte** r, int* rn) =>
            Run(a, n, code, r, rn, static (ref WireReader args, WireWriter w, int* c) =>
            {
                var fileid = args.Text();
                var exporttype = args.Text();
                var sourcefileid = args.Text();
                Facade.SetExportVtFile(fileid, exporttype, sourcefileid, args.Int32(), ref *c);
            });
    }
}
